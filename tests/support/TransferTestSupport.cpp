#include "TransferTestSupport.h"

namespace {
constexpr int kCodeAt = 7;
constexpr int kSubAt = 8;
constexpr int kPayloadAt = 9;
}

QByteArray programOf(int size)
{
    QByteArray text;
    for (int line = 1; text.size() < size; ++line)
        text += "N" + QByteArray::number(line).rightJustified(5, '0') + " G01 X" + QByteArray::number(line % 97) + " Y" +
                QByteArray::number(line % 89) + " F300\n";
    return text.left(size);
}

std::vector<std::string> transferShapes(SimulatedController& sim)
{
    std::vector<std::string> shapes;
    for (const QByteArray& f : sim.receivedFrames()) {
        if (f.size() <= kSubAt)
            continue;
        const char code = f[kCodeAt];
        const int sub = uint8_t(f[kSubAt]);
        if (code != 'd' && code != 'f')
            continue;
        std::string shape = code + std::to_string(sub);
        const QByteArray payload = f.mid(kPayloadAt);
        if (code == 'd' && (sub == 1 || sub == 6) && payload.size() >= 2)
            shape += " " + std::to_string(uint8_t(payload[0])) + " " + std::to_string(uint8_t(payload[1])) + " " +
                     payload.mid(2).toStdString();
        else if (code == 'd' && (sub == 2 || sub == 3))
            shape += " " + std::to_string(payload.size());
        else if (code == 'f' && !payload.isEmpty())
            shape += " " + std::to_string(uint8_t(payload[0])) + " " + payload.mid(1).toStdString();
        shapes.push_back(shape);
    }
    return shapes;
}

std::vector<QByteArray> blockTexts(SimulatedController& sim, int subCode)
{
    std::vector<QByteArray> texts;
    for (const QByteArray& f : sim.receivedFrames())
        if (f.size() > kSubAt && f[kCodeAt] == 'd' && uint8_t(f[kSubAt]) == subCode)
            texts.push_back(f.mid(kPayloadAt));
    return texts;
}

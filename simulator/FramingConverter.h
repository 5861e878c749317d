#pragma once
#include <QByteArray>

// Moves a frame's command code and fields from one framing into another: the serial endpoint
// hands its requests to the model in the TCP framing and sends the model's replies back in its
// own. Empty when the frame holds no command code.
class FramingConverter
{
public:
    static QByteArray convert(const QByteArray& frame, int fromMode, int toMode, bool asReply);
};

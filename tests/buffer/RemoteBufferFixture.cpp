#include "RemoteBufferFixture.h"

void RemoteBufferFixture::SetUp()
{
    sim.reset(new SimulatedController);
    ASSERT_TRUE(sim->start());
}

void RemoteBufferFixture::TearDown()
{
    close(buffer);
    sim.reset();
}

VRemoteBuffer* RemoteBufferFixture::open(int32_t mode, int32_t channel)
{
    return VRemoteBuffer::bufOpen(sim->address().toLatin1().constData(), mode, channel);
}

VRemoteBuffer* RemoteBufferFixture::openDeclared(int32_t mode, int32_t channel)
{
    VRemoteBuffer* opened = open(mode, channel);
    if (opened && !waitUntil([&] { return opened->getBufState() == VRemoteBuffer::Idle; }, 3000))
        ADD_FAILURE() << "never idle; state " << opened->getBufState() << " " << opened->getBufStateInf();
    return opened;
}

void RemoteBufferFixture::close(VRemoteBuffer*& closing)
{
    if (closing) {
        EXPECT_EQ(VRemoteBuffer::bufClose(closing), 1);
    }
    closing = nullptr;
}

bool RemoteBufferFixture::writeWhenReady(VRemoteBuffer* writer, const QByteArray& text, int timeoutMs)
{
    return waitUntil([&] { return writer->bufWrite(text.constData()) == 1; }, timeoutMs);
}

bool RemoteBufferFixture::waitForStored(VRemoteBuffer* writer, int32_t channel, const char* name,
                                        const QByteArray& text, int timeoutMs)
{
    return waitUntil([&] { return writer->getBufState() == VRemoteBuffer::Idle && sim->programText(channel, name) == text; },
                     timeoutMs);
}

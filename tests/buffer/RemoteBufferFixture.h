#pragma once
#include "TestSupport.h"
#include "TransferTestSupport.h"
#include "VRemoteBuffer.h"

#include <memory>

// A simulator on its own loopback address and a remote buffer streaming to it, closed (if still
// open) before the simulator stops.
class RemoteBufferFixture : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(sim->start()); }
    void TearDown() override
    {
        if (buffer) {
            EXPECT_EQ(VRemoteBuffer::bufClose(buffer), 1);
        }
        sim.reset();
    }

    // Opens a buffer and waits until its file is declared and its queue found empty (state 5).
    VRemoteBuffer* openDeclared(int32_t mode, int32_t channel = 1)
    {
        VRemoteBuffer* opened = VRemoteBuffer::bufOpen(sim->address().toLatin1().constData(), mode, channel);
        if (opened && !waitUntil([&] { return opened->getBufState() == VRemoteBuffer::Idle; }, 3000))
            ADD_FAILURE() << "never idle; state " << opened->getBufState() << " " << opened->getBufStateInf();
        return opened;
    }
    // Writes, retrying while the buffer is busy (a write is refused outside states 0 and 5).
    static bool writeWhenReady(VRemoteBuffer* buffer, const QByteArray& text, int timeoutMs = 5000)
    {
        return waitUntil([&] { return buffer->bufWrite(text.constData()) == 1; }, timeoutMs);
    }
    // Waits until the controller holds text in file name of the channel and the queue is empty.
    bool waitForStored(VRemoteBuffer* buffer, int32_t channel, const char* name, const QByteArray& text, int timeoutMs = 10000)
    {
        return waitUntil([&] { return buffer->getBufState() == VRemoteBuffer::Idle && sim->programText(channel, name) == text; },
                         timeoutMs);
    }

    std::unique_ptr<SimulatedController> sim{new SimulatedController};
    VRemoteBuffer* buffer = nullptr; // closed by TearDown when a test leaves it open
};

#pragma once
#include "TestSupport.h"
#include "TransferTestSupport.h"
#include "VRemoteBuffer.h"

#include <memory>

// A simulator on its own loopback address and remote buffers streaming to it; buffers still
// open when a test ends are closed before the simulator stops.
class RemoteBufferFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens a buffer and waits until its file is declared and its queue found empty (state 5).
    VRemoteBuffer* openDeclared(int32_t mode, int32_t channel = 1);
    VRemoteBuffer* open(int32_t mode, int32_t channel = 1);
    void close(VRemoteBuffer*& buffer);
    // Writes, retrying while the buffer is busy (a write is refused outside states 0 and 5).
    bool writeWhenReady(VRemoteBuffer* buffer, const QByteArray& text, int timeoutMs = 5000);
    // Waits until the controller holds text in file name of the channel and the queue is empty.
    bool waitForStored(VRemoteBuffer* buffer, int32_t channel, const char* name, const QByteArray& text,
                       int timeoutMs = 10000);

    std::unique_ptr<SimulatedController> sim;
    VRemoteBuffer* buffer = nullptr; // closed by TearDown when a test leaves it open
};

#pragma once

// What analysisReciveBuffer made of a frame. Only Handled is a success for a waiting command; a
// transfer-state reply of state 1 or 2 is still an answer to the one who asked for it.
enum ParseStatus : int {
    Handled = 0,
    ReadVarsError = 1,  // the variable-read error reply
    WriteVarsError = 2, // the variable-write error reply
    FileError = 3,      // the file-transfer error reply
    StartError = 4,     // the program-start error reply
    TooShort = 5,       // too short for its fields, an unknown code, or a 'd' reply of unknown sub-code
    BadChecksum = 6,
    TransferState1 = 7, // transfer-state reply, state 1 (not ready)
    TransferState2 = 8, // transfer-state reply, state 2
};

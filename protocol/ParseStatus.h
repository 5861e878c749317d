#pragma once

// What the decoder made of a frame. Only Handled is an answer for a waiting command.
enum ParseStatus : int {
    Handled = 0,
    Refusal = 1,     // an error reply (the request's code + 0x80): the controller did not take it
    TooShort = 2,    // too short for its fields, or a code or sub-code no row has
    BadChecksum = 3,
};

#include "AsyncCommModule.h"
#include <stdio.h>

int main(int argc, char** argv)
{
    const char* address = argc > 1 ? argv[1] : "127.0.0.5";
    if (!addTargetCnc(1, 2, address, 0) || !connect(1)) { /* target 1: 2 channels, synchronous */
        printf("no controller at %s\n", address);
        return 1;
    }
    CncLong vars[2] = {1000100, 1000101}, values[2] = {7, -7}, back[2] = {0, 0}, position = 0;
    CncLong written = writeVars(vars, 2, values, 1);          /* 0: done */
    CncLong read = readVars(vars, 2, back, 1);
    CncLong moved = jogMotionP_Run(1, 0, 500, 250, 1, 0, 1);  /* channel 1, axis 0: move to 250 */
    CncLong asked = getAxisCoord(1, 0, 0, &position, 1);
    printf("write %ld, read %ld (%ld, %ld), move %ld, coordinate %ld: %ld\n", (long)written, (long)read,
           (long)back[0], (long)back[1], (long)moved, (long)asked, (long)position);
    disconnect(1);
    removeTargetCnc(1);
    return written || read || moved || asked || back[0] != 7 || position != 250;
}

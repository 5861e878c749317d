// Compiled only, with -Wall -Wextra -Werror: C++ callers pass string literals for the texts the
// library only reads, without a cast and without a warning.
#include "AsyncCommModule.h"
#include "AsyncCommModuleLoader.h"
#include "AsyncCommModuleResults.h"

void callsWithLiterals(const AcmLibrary& acm)
{
    addTargetCnc(1, 1, "127.0.0.1", 0);
    setTransFileType(1, 1, "O1000", 1);
    uploadFile(1, 1, "O1000", "G0 X1\n", 1);
    cycStart(1, "O1000", 1);
    writeCncFile(1, "O1000", "M30\n", 1);
    bufWrite(bufOpen("127.0.0.1", 1, 1), "G1 X2\n");
    ftpUploadFileDes("a.nc", "/b/", "127.0.0.1", 1);
    acm.addTargetCnc(1, 1, "127.0.0.1", 0);
    acm.overwrite("G0\n", 1, 1);
    acm.ftpMkdir("/x/", "127.0.0.1", 1);
    (void)acmResultText(0);
}

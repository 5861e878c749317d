/* Built against an installed copy only: registers a target, checks its rules, removes it. */
#include <AsyncCommModule.h>

#include <stdio.h>

int main(void)
{
    char ip[] = "127.0.0.1";
    CncLong value = 0;
    if (!addTargetCnc(9, 2, ip, 0) || addTargetCnc(9, 2, ip, 0))
        return 1;
    if (getIBit(3, 0, &value, 9) != 1 || getIBit(2, 0, &value, 9) != 7)
        return 2;
    if (!removeTargetCnc(9) || removeTargetCnc(9))
        return 3;
    puts("consumer: ok");
    return 0;
}

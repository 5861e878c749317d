#pragma once
#include <QByteArray>
#include <QString>

#include <cstdint>

enum FtpCmdType : int32_t { ConnectHost = 0, Login = 1, Put = 2, Get = 3, Mkdir = 4 };

// One command of a file operator's list, held by value. Texts are single bytes ended by a 0
// byte: ConnectHost reads src as a 20-byte address field, Login reads the user name from
// bytes 0 to 19 of src and the password from bytes 20 to 39, Put sends src (local) to des
// (remote), Get fetches src (remote) into des (local), Mkdir makes des.
struct FtpCmd
{
    static constexpr int kFieldSize = 500;
    static constexpr int kShortFieldSize = 20; // address, user name, password

    int32_t cmdType = ConnectHost;
    char src[kFieldSize];
    char des[kFieldSize];

    FtpCmd(); // every byte 0

    static FtpCmd connectHost(const QByteArray& address);
    static FtpCmd login(const QByteArray& user = "Administrator", const QByteArray& password = "470913");
    // From Qt strings: each converted to Latin-1.
    static FtpCmd transfer(FtpCmdType type, const QString& source, const QString& destination);
    static FtpCmd makeDir(const QString& directory);
    // From bytes, taken unchanged.
    static FtpCmd transfer(FtpCmdType type, const QByteArray& source, const QByteArray& destination);
    static FtpCmd makeDir(const QByteArray& directory);

    // A text that needs more than size - 1 bytes fills its field to the end without the
    // terminating 0: the record keeps it from being cut in silence, and readField refuses it.
    // Nothing is ever written past the field. Returns whether the text fitted.
    static bool fillField(char* field, int size, const QByteArray& text);
    // The text up to its 0 byte within size bytes; false when the field holds none.
    static bool readField(const char* field, int size, QByteArray* text);
};

#pragma once
#include "Subcommand.h"

// Makes one folder on the controller by FTP (ftpMkdir).
class MkdirCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("mkdir"); }
    QString summary() const override;
    QString syntax() const override { return QStringLiteral("DIR"); }
    QString details() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    QByteArray m_directory;
};

#pragma once
#include "Subcommand.h"

class TargetSession;

// Makes a folder on the controller by FTP (ftpMkdir), with -p its missing parents first.
class MkdirCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("mkdir"); }
    QString summary() const override;
    QString syntax() const override { return QStringLiteral("DIR"); }
    QString details() const override;
    QStringList examples() const override;
    QList<QCommandLineOption> options() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    // One ftpMkdir and its wait; *reason says why it failed.
    ExitStatus make(CommandContext& context, TargetSession& session, const QByteArray& folder, QString* reason);

    QByteArray m_directory;
    bool m_parents = false;
};

#pragma once
#include "Subcommand.h"

#include <QStringList>

// Uploads local files to the controller by FTP, one operation per file, with progress.
class UploadCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("upload"); }
    QString summary() const override;
    QString syntax() const override { return QStringLiteral("FILE..."); }
    QString details() const override;
    QStringList examples() const override;
    QList<QCommandLineOption> options() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    enum class Kind { Program, Plc, ToDirectory, SystemUpdate };

    // Starts the upload of one file: the function's name and its result code.
    int32_t start(const CommandContext& context, int id, const QString& path, QString* function) const;

    Kind m_kind = Kind::Program;
    QString m_directory;
    QStringList m_files;
};

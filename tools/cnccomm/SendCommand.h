#pragma once
#include "ProgramResume.h"
#include "Subcommand.h"

// Writes a program file into the channel by text transfer, block by block with progress, and
// optionally starts it.
class SendCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("send"); }
    QString summary() const override;
    QString syntax() const override { return QStringLiteral("FILE"); }
    QString details() const override;
    QList<QCommandLineOption> options() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    // overwrite for the first piece, append for the others: false at the first failure or at an
    // interrupt (then *interrupted is set).
    bool sendPieces(CommandContext& context, int id, int32_t* result, bool* interrupted);
    // After an interrupt: ends the transfer (fileEnd) and says where to continue.
    ExitStatus endInterrupted(CommandContext& context, int id);

    QString m_path;
    QByteArray m_name;
    int32_t m_type = 1;
    bool m_start = false;
    QByteArray m_text;
    ProgramResume m_resume;
    int m_sent = 0;
};

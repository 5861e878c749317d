#pragma once
#include "ProgramResume.h"
#include "Subcommand.h"

#include <atomic>

class TargetSession;

// Writes a program file into the channel by text transfer, block by block with progress, and
// optionally starts it; completes a stored program from a line on.
class SendCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("send"); }
    QString summary() const override;
    QString syntax() const override { return QStringLiteral("FILE"); }
    QString details() const override;
    QStringList examples() const override;
    QList<QCommandLineOption> options() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    // Declares the file: emptied for a whole program, kept when it is completed from a line on.
    int32_t declare(CommandContext& context, int id);
    // overwrite for the first piece of a whole program, append for the others: the result of
    // the first call that fails (0 when all went), or -1 at a stop request.
    int32_t sendPieces(CommandContext& context, int id);
    // One library call for a piece; the stop guard's disconnect may end its wait.
    int32_t sendPiece(CommandContext& context, int id, const QByteArray& piece, bool first);
    // The transfer stopped midway: why, and where to continue.
    ExitStatus endEarly(CommandContext& context, TargetSession& session, int32_t result);

    QString m_path;
    QByteArray m_name;
    int32_t m_type = 1;
    bool m_start = false;
    QByteArray m_text;
    ProgramResume m_resume{ProgramResume::Kind::Store};
    int m_sent = 0;
    std::atomic<bool> m_inCall{false};
};

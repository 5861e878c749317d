#pragma once
#include "ProgramResume.h"
#include "Subcommand.h"

#include <QElapsedTimer>

// Streams a program through the remote buffer (bufOpen, bufWrite as room frees, bufClose),
// with progress, until the controller has taken all of it.
class StreamCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("stream"); }
    QString summary() const override;
    QString syntax() const override { return QStringLiteral("FILE"); }
    QString details() const override;
    QStringList examples() const override;
    QList<QCommandLineOption> options() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    // Waits for the declaration to be acknowledged.
    ExitStatus waitUntilReady(CommandContext& context, AcmRemoteBuffer* buffer);
    ExitStatus stream(CommandContext& context, AcmRemoteBuffer* buffer);
    // Queues as much of the rest as the buffer has room for.
    void writeMore(const AcmLibrary& acm, AcmRemoteBuffer* buffer);
    // Bytes the controller has acknowledged, as far as the queue shows; -1 when it shows nothing.
    int acknowledgedBytes(const AcmLibrary& acm, AcmRemoteBuffer* buffer, int32_t state) const;
    // The state and its text, in the report.
    void reportState(CommandContext& context, AcmRemoteBuffer* buffer);

    QString m_path;
    int m_mode = 1;
    ProgramResume m_resume{ProgramResume::Kind::Stream};
    QByteArray m_text;
    int m_written = 0;
    int m_acknowledged = 0;
};

#pragma once
#include "Subcommand.h"

// Sets one bit of one of the controller's I/O tables (setPlcOBit, setCncOBit, setCBit,
// setSBit, setABit).
class SetBitCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("set-bit"); }
    QString summary() const override;
    bool takesAsync() const override { return true; }
    QString syntax() const override { return QStringLiteral("TABLE INDEX VALUE"); }
    QString details() const override;
    QStringList examples() const override;
    QList<QCommandLineOption> options() const override;
    bool parse(const QCommandLineParser& parser, const CommonSettings& common, QString* error) override;
    ExitStatus run(CommandContext& context) override;

private:
    QString m_table;
    int32_t m_index = 0;
    int32_t m_value = 0;
    bool m_cncOutput = false;
    int32_t m_extra = 0;
};

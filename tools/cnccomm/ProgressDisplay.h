#pragma once
#include <QString>

class Report;

// Progress of a transfer on stderr: a bar redrawn in place when stderr is a terminal, otherwise
// one line "LABEL: N%" each time the whole percentage changes. Silent in JSON mode and with --quiet.
class ProgressDisplay
{
public:
    ProgressDisplay(const QString& label, const Report& report);
    ~ProgressDisplay();
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    // percent is clamped to 0 ... 100; detail, if any, follows the bar.
    void update(double percent, const QString& detail = QString());
    // Ends the bar's line.
    void finish();

private:
    QString m_label;
    bool m_silent;
    bool m_terminal;
    int m_shown = -1;
    QString m_shownDetail;
    bool m_open = false;
};

#include "ProgressDisplay.h"

#include "Report.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {
constexpr int kBarWidth = 40;
}

ProgressDisplay::ProgressDisplay(const QString& label, const Report& report)
    : m_label(label), m_silent(!report.showsProgress()), m_terminal(isatty(STDERR_FILENO) == 1)
{
}

ProgressDisplay::~ProgressDisplay()
{
    finish();
}

void ProgressDisplay::update(double percent, const QString& detail)
{
    if (m_silent)
        return;
    const int whole = int(std::clamp(percent, 0.0, 100.0));
    // Lines for a pipe or a file change with the percentage only, so that a script sees each once.
    if (whole == m_shown && (!m_terminal || detail == m_shownDetail))
        return;
    m_shown = whole;
    m_shownDetail = detail;
    if (!m_terminal) {
        std::fprintf(stderr, "%s: %d%%\n", m_label.toUtf8().constData(), whole);
        std::fflush(stderr);
        return;
    }
    const int filled = whole * kBarWidth / 100;
    const QString bar = QString(filled, QLatin1Char('#')) + QString(kBarWidth - filled, QLatin1Char('.'));
    // Erase to the end of the line: a shorter detail must not leave the end of a longer one.
    std::fprintf(stderr, "\r%s [%s] %3d%% %s\033[K", m_label.toUtf8().constData(), bar.toUtf8().constData(), whole,
                detail.toUtf8().constData());
    std::fflush(stderr);
    m_open = true;
}

void ProgressDisplay::finish()
{
    if (m_open) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
        m_open = false;
    }
}

#pragma once

// Start-up of a program: from its start until it says it is ready, with its
// resident memory then; the first of the runs meets a fresh install.

#include "Measures.h"

#include <QJsonArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>

namespace velmor::bench {

// The folders a started program keeps its data, settings and sockets in: fresh
// ones, for the runs of one measurement. The application is asked to say when
// it is ready and then quit, and draws offscreen.
class Home {
public:
    Home();
    QStringList environment() const;

private:
    QTemporaryDir dir_;
};

struct StartupFigures {
    double freshMs = -1;
    Summary againMs; // the runs that found the profiles of the first
    std::int64_t readyKb = -1;
};

// The program says it is ready with "ready <CLOCK_MONOTONIC ns>" (the pipeline)
// or, as the application does, "velmor ready: … rss_kb=<n>". Throws
// std::runtime_error when it does not within a minute.
StartupFigures measureStartups(const QString& command, int runs);

// The figures as rows; `where` ends each measure, `judge` says whether the goals apply.
QJsonArray startupRows(const StartupFigures& figures, const QString& where, bool judge);

} // namespace velmor::bench

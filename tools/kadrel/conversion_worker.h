#pragma once
// Converts a list of recordings one after the other on its own thread and reports each step by
// signals, which reach the window's thread queued.
// Threads: Run is called (queued) on the worker's thread; the cancel flag it reads belongs to the
// window, which sets it from the user-interface thread and ends the thread before freeing it.

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <optional>

#include "engine/convert/record_converter.h"

// One row of the window's list: the file, and the stretch of it when one was marked.
struct ConversionJob {
    int id = 0;
    QString path;
    std::optional<ConvertStretch> stretch;
};

class ConversionWorker : public QObject {
    Q_OBJECT
public:
    explicit ConversionWorker(const std::atomic<bool>* cancel) : m_cancel(cancel) {}

public slots:
    // Each job's id names it in the signals. Stops before the next job once cancelled.
    void Run(const QList<ConversionJob>& jobs, const QString& outputFolder);

signals:
    void Started(int id);
    void Progress(int id, int percent);
    // status: a ConvertStatus value; mp4 empty unless converted.
    void Finished(int id, int status, const QString& mp4, const QString& detail);
    void AllFinished();

private:
    const std::atomic<bool>* m_cancel;
};

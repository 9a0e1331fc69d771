#pragma once
// Converts a list of recordings one after the other on its own thread and reports each step by
// signals, which reach the window's thread queued.
// Threads: Run is called (queued) on the worker's thread; the cancel flag it reads belongs to the
// window, which sets it from the user-interface thread and ends the thread before freeing it.

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>

class ConversionWorker : public QObject {
    Q_OBJECT
public:
    explicit ConversionWorker(const std::atomic<bool>* cancel) : m_cancel(cancel) {}

public slots:
    // ids[i] names recordings[i] in the signals. Stops before the next recording once cancelled.
    void Run(const QList<int>& ids, const QStringList& recordings, const QString& outputFolder);

signals:
    void Started(int id);
    void Progress(int id, int percent);
    // status: a ConvertStatus value; mp4 empty unless converted.
    void Finished(int id, int status, const QString& mp4, const QString& detail);
    void AllFinished();

private:
    const std::atomic<bool>* m_cancel;
};

#include "tools/kadrel/conversion_worker.h"

#include <QFile>

#include "engine/convert/record_converter.h"

void ConversionWorker::Run(const QList<ConversionJob>& jobs, const QString& outputFolder) {
    const CRecordConverter converter(m_cancel);
    const std::string folder = QFile::encodeName(outputFolder).toStdString();
    for (qsizetype i = 0; i < jobs.size() && !m_cancel->load(); ++i) {
        const int id = jobs[i].id;
        emit Started(id);
        int shown = -1;
        const auto progress = [&](double f) {
            const int percent = int(f * 100);
            if (percent != shown) emit Progress(id, shown = percent);
        };
        ConvertResult result =
            converter.Convert(QFile::encodeName(jobs[i].path).toStdString(), folder, progress, jobs[i].stretch);
        emit Finished(id, int(result.status), QFile::decodeName(QByteArray::fromStdString(result.outputPath)),
                      QString::fromStdString(result.detail));
    }
    emit AllFinished();
}

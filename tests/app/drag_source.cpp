// Another program a file is dragged from, the way a file manager drags one: a small window at the
// screen's top left whose press starts a drag of the file URL given as the argument. It prints
// whether the drop was taken and ends a while after the drag: the target asks the source for the
// dropped data as it handles the drop, so the source must still be there to answer.

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

constexpr int kLingerMs = 3000;

class DragSource : public QWidget {
public:
    explicit DragSource(const QString& path) : m_path(path) {
        setWindowTitle(QStringLiteral("drag source"));
        setGeometry(0, 0, 160, 100);
    }

protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(m_path)});
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        const Qt::DropAction action = drag->exec(Qt::CopyAction);
        std::printf("drop %s\n", action == Qt::CopyAction ? "taken" : "refused");
        std::fflush(stdout);
        QTimer::singleShot(kLingerMs, qApp, &QApplication::quit);
    }

private:
    QString m_path;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) return 2;
    DragSource source(QString::fromLocal8Bit(argv[1]));
    source.show();
    return app.exec();
}

// The baseline for start-up and memory: the smallest Qt Widgets program that shows one window.
// It prints "painted" at its first paint, then either quits or (with --stay) keeps running.
#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

class Window final : public QLabel
{
public:
    explicit Window(bool stay)
        : QLabel(QStringLiteral("Halvex Kelvane"))
        , m_stay(stay)
    {}

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QLabel::paintEvent(event);
        if (m_painted)
            return;
        m_painted = true;
        std::printf("painted\n");
        std::fflush(stdout);
        if (!m_stay)
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }

private:
    bool m_stay;
    bool m_painted = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Window window(argc > 1 && std::strcmp(argv[1], "--stay") == 0);
    window.resize(900, 600);
    window.show();
    return QApplication::exec();
}

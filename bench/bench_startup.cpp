// Time from process start to the main window shown, and the process's peak memory.
// The parent starts itself as a child (fork + exec, like any program start), the child builds
// the real main window with an empty settings home and reports the moment it is shown.
#include "app/AppFormProbe.h"
#include "app/Application.h"

#include <QDir>
#include <QEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

long long nowUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

class ShownProbe : public QObject {
public:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Show && !reported) {
            reported = true;
            std::printf("%lld\n", nowUs());
            std::fflush(stdout);
            QTimer::singleShot(0, [] { std::_Exit(0); });
        }
        return false;
    }
    bool reported = false;
};

int child(int argc, char** argv) {
    TApplication app(argc, argv);
    app.loadGermanTranslations();
    TAppFormProbe form;
    ShownProbe probe;
    form.installEventFilter(&probe);
    form.show();
    return app.exec();
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0)
        return child(argc, argv);

    QTemporaryDir home; // no settings, no COM ports
    QDir().mkpath(home.path() + "/zuvex910k/ports");
    setenv("XDG_CONFIG_HOME", home.path().toUtf8().constData(), 1);
    if (!getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);

    const int runs = argc > 1 ? std::atoi(argv[1]) : 10;
    std::vector<double> ms;
    long maxRssKb = 0;
    for (int i = 0; i < runs; ++i) {
        int fds[2];
        if (pipe(fds) != 0)
            return 1;
        const long long start = nowUs();
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(fds[1], STDOUT_FILENO);
            if (FILE* devnull = std::fopen("/dev/null", "w"))
                dup2(fileno(devnull), STDERR_FILENO); // keep the figures readable
            close(fds[0]);
            execl("/proc/self/exe", argv[0], "--child", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char buf[64] = {};
        const ssize_t n = read(fds[0], buf, sizeof buf - 1);
        close(fds[0]);
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        if (n <= 0) {
            std::fprintf(stderr, "child did not report\n");
            return 1;
        }
        ms.push_back((std::atoll(buf) - start) / 1000.0);
        maxRssKb = std::max(maxRssKb, usage.ru_maxrss);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("start-up to main window shown over %d runs: median %.1f ms, max %.1f ms\n", runs,
                ms[ms.size() / 2], ms.back());
    std::printf("peak memory (max RSS): %.1f MB\n", maxRssKb / 1024.0);
    std::printf("goals: under 300 ms and under 80 MB\n");
    return 0;
}

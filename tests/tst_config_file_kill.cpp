#include "files/config_file.h"
#include "model/row_table.h"
#include "support/file_helpers.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QDateTime kWritten(QDate(2024, 1, 2), QTime(3, 4, 5));

RowTable table(const QString& tag, const QString& note)
{
    RowTable rows;
    for (int r = 0; r < RowTable::kRows; ++r) {
        rows.keyNames.at(r) = tag;
        rows.strings.at(r) = tag + QString::number(r);
        rows.notes.at(r) = note;
    }
    return rows;
}

// Kills the saving child however the test ends, so no writer outlives it.
class Child final {
public:
    explicit Child(pid_t pid) : m_pid(pid) {}
    ~Child() { stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    bool exited() const { return m_pid <= 0 || waitpid(m_pid, nullptr, WNOHANG) == m_pid; }
    void stop()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid;
};

}  // namespace

// A process killed in the middle of saving must leave either the old or the
// new file, never a torn one. (bench/cfg_kill_test.sh repeats this many times.)
class TstConfigFileKill : public QObject {
    Q_OBJECT

private slots:
    void killedWhileSaving_data()
    {
        QTest::addColumn<int>("replacements");
        for (int n : {1, 2, 3, 5, 8, 13}) {
            QTest::addRow("after %d", n) << n;
        }
    }
    void killedWhileSaving()
    {
        QFETCH(int, replacements);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("table.cfg"));
        const RowTable plain = table(QStringLiteral("A"), QStringLiteral("note"));
        const RowTable escaped = table(QStringLiteral("B"), QStringLiteral("two\nlines and a long note ") + QString(400, QLatin1Char('x')));
        const QByteArray first = config_file::render(plain, 3, kWritten);
        const QByteArray second = config_file::render(escaped, 10, kWritten);
        config_file::save(target, plain, 3, kWritten);

        const pid_t pid = fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            for (long i = 0;; ++i) {
                try {
                    config_file::save(target, i % 2 ? plain : escaped, i % 2 ? 3 : 10, kWritten);
                } catch (...) {
                    _exit(2);
                }
            }
        }
        Child child(pid);
        QByteArray last = first;
        for (int seen = 0; seen < replacements;) {
            QVERIFY2(!child.exited(), "the saving process stopped by itself");
            const QByteArray now = test_files::readAll(target);
            QVERIFY(now == first || now == second);
            if (now != last) {
                ++seen;
                last = now;
            }
        }
        child.stop();
        const QByteArray after = test_files::readAll(target);
        QVERIFY(after == first || after == second);
        RowTable loaded;
        QVERIFY(config_file::applyTo(loaded, target).complete());
        QCOMPARE(loaded.keyNames.at(92), after == first ? QStringLiteral("A") : QStringLiteral("B"));
    }
};

QTEST_GUILESS_MAIN(TstConfigFileKill)
#include "tst_config_file_kill.moc"

// Saves two different tables in turn, forever or a given number of times, so
// that cfg_kill_test.sh can kill it at any moment and check what is left.
//   cfg_save_loop save  <file>          save until killed
//   cfg_save_loop check <file>          exit 0 when <file> is wholly one of the two tables
//   cfg_save_loop time  <file> <count>  print save and load times

#include "files/config_file.h"
#include "model/row_table.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

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

const RowTable& first()
{
    static const RowTable rows = table(QStringLiteral("A"), QStringLiteral("short note"));
    return rows;
}

// Bigger, and escaped, so a torn copy of it could never pass for the other.
const RowTable& second()
{
    static const RowTable rows =
            table(QStringLiteral("B"), QStringLiteral("two\nlines ") + QString(2000, QLatin1Char('x')));
    return rows;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: cfg_save_loop save|check|time <file> [count]\n");
        return 2;
    }
    const QString mode = args.at(1);
    const QString path = args.at(2);
    try {
        if (mode == QLatin1String("save")) {
            for (long i = 0;; ++i) {
                config_file::save(path, i % 2 ? first() : second(), i % 2 ? 3 : 10, kWritten);
            }
        }
        if (mode == QLatin1String("check")) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                std::printf("missing\n");
                return 1;
            }
            const QByteArray bytes = file.readAll();
            if (bytes == config_file::render(first(), 3, kWritten)) {
                std::printf("first\n");
                return 0;
            }
            if (bytes == config_file::render(second(), 10, kWritten)) {
                std::printf("second\n");
                return 0;
            }
            std::printf("torn (%lld bytes)\n", static_cast<long long>(bytes.size()));
            return 1;
        }
        if (mode == QLatin1String("time") && args.size() >= 4) {
            const int count = args.at(3).toInt();
            QElapsedTimer timer;
            timer.start();
            for (int i = 0; i < count; ++i) {
                config_file::save(path, i % 2 ? first() : second(), i % 2 ? 3 : 10, kWritten);
            }
            const double saveMs = timer.nsecsElapsed() / 1e6 / count;
            timer.restart();
            for (int i = 0; i < count; ++i) {
                RowTable rows;
                config_file::applyTo(rows, path);
            }
            const double loadMs = timer.nsecsElapsed() / 1e6 / count;
            std::printf("save: %.3f ms per file, load: %.3f ms per file (%d of each)\n", saveMs, loadMs, count);
            return 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 3;
    }
    std::fprintf(stderr, "unknown mode\n");
    return 2;
}

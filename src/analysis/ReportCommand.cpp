#include "analysis/ReportCommand.h"

#include <QFileInfo>

#include "common/ArgumentValues.h"

namespace telvika::analysis {

bool TReportCommand::parse(const QStringList& arguments, TReportCommand* command, QString* error) {
    TReportCommand c;
    QStringList positional;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            *command = TReportCommand{};
            command->help = true;
            return true;
        }
        if (!a.startsWith(QLatin1String("--"))) {
            positional << a;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            *error = QStringLiteral("После «%1» нужно значение").arg(a);
            return false;
        }
        const QString value = arguments[++i];
        if (a == QLatin1String("--socket")) c.socketName = value;
        else if (a == QLatin1String("--server")) c.serverProgram = value;
        else if (a == QLatin1String("--data")) c.dataFolder = value;
        else if (a == QLatin1String("--maps")) c.mapList = value;
        else if (a == QLatin1String("--settings")) c.settings = value;
        else if (a == QLatin1String("--timeout")) {
            if (!argumentInt(value, QStringLiteral("--timeout"), 1, 86400, &c.timeoutSeconds, error)) return false;
        } else {
            *error = QStringLiteral("Неизвестный параметр «%1»").arg(a);
            return false;
        }
    }
    if (positional.size() != 6) {
        *error = QStringLiteral("Нужно шесть аргументов: группа, прибор, начало, конец, рейс и файл");
        return false;
    }
    c.group = positional[0];
    if (!argumentInt(positional[1], QStringLiteral("Прибор"), 0, 2147483647, &c.device, error)) return false;
    c.begin = positional[2];
    c.end = positional[3];
    if (!argumentDateTime(c.begin, QStringLiteral("Начало периода"), error)) return false;
    if (!argumentDateTime(c.end, QStringLiteral("Конец периода"), error)) return false;
    if (!argumentInt(positional[4], QStringLiteral("Номер рейса"), 1, 1000000, &c.trip, error)) return false;
    c.output = positional[5];
    const QString suffix = QFileInfo(c.output).suffix().toLower();
    if (suffix != QLatin1String("pdf") && suffix != QLatin1String("gpx") && suffix != QLatin1String("kml") &&
        suffix != QLatin1String("csv")) {
        *error = QStringLiteral("Файл «%1»: расширение должно быть .pdf, .gpx, .kml или .csv").arg(c.output);
        return false;
    }
    *command = c;
    return true;
}

QString TReportCommand::usage() {
    return QStringLiteral(
        "Использование: telvika-player-report [параметры] ГРУППА ПРИБОР \"дд.мм.гггг чч:мм:сс\" "
        "\"дд.мм.гггг чч:мм:сс\" РЕЙС ФАЙЛ\n"
        "Просит сервер слежения рассчитать период для прибора группы (ИД или название) и записывает\n"
        "рейс с этим номером: ФАЙЛ .pdf - отчёт о рейсе, .gpx, .kml или .csv - экспорт рейса.\n"
        "Параметры:\n"
        "  --socket ИМЯ       сокет сервера (по умолчанию сокет пользователя)\n"
        "  --server ПУТЬ      сервер, который запускается, если ни один не отвечает\n"
        "  --data ПАПКА       база данных запускаемого сервера\n"
        "  --maps ФАЙЛ        список карт MapList.ini (по умолчанию рядом с программой)\n"
        "  --settings ФАЙЛ    настройки TVSettings.xml с видами информационных точек\n"
        "  --timeout С        сколько ждать окончания расчёта (по умолчанию 120)\n");
}

}  // namespace telvika::analysis

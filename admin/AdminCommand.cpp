#include "AdminCommand.h"

#include "common/ArgumentValues.h"
#include "common/DateText.h"
#include "common/Error.h"
#include "compute/TelemetryCheck.h"
#ifdef TELVIKA_HAVE_IMPORT
#include "import/ImportTime.h"
#endif

#include <cmath>

namespace telvika::admin {

namespace {

struct Args {
    QStringList list;
    int pos = 0;
    QString* error;

    bool fail(const QString& text) {
        *error = text;
        return false;
    }
};

}  // namespace

bool AdminCommand::parse(const QStringList& arguments, AdminCommand* command, QString* error) {
    AdminCommand c;
    QStringList positional;
    QStringList options;  // "--name value" pairs specific to a command, checked below
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QStringLiteral("--help") || a == QStringLiteral("-h")) {
            *command = AdminCommand{};
            return true;
        }
        if (a.startsWith(QStringLiteral("--"))) {
            if (i + 1 >= arguments.size()) {
                *error = QStringLiteral("После «%1» нужно значение").arg(a);
                return false;
            }
            const QString value = arguments[++i];
            if (a == QStringLiteral("--data")) c.dataFolder = value;
            else if (a == QStringLiteral("--store")) c.store = value;
            else if (a == QStringLiteral("--socket")) c.socketName = value;
            else if (a == QStringLiteral("--server")) c.serverProgram = value;
            else options << a << value;
            continue;
        }
        positional << a;
    }
    if (positional.isEmpty()) {
        *error = QStringLiteral("Не указана команда");
        return false;
    }
    const QString verb = positional.takeFirst();
    auto need = [&](int min, int max) {
        if (positional.size() < min || positional.size() > max) {
            *error = QStringLiteral("Команде «%1» нужно аргументов: %2").arg(verb).arg(min == max ? QString::number(min)
                                                                                           : QStringLiteral("%1..%2").arg(min).arg(max));
            return false;
        }
        return true;
    };
    QStringList allowed;  // options this command accepts
    if (verb == QStringLiteral("groups")) {
        c.action = Action::Groups;
        if (!need(0, 0)) return false;
    } else if (verb == QStringLiteral("add-group")) {
        c.action = Action::AddGroup;
        if (!need(2, 2)) return false;
        c.groupId = positional[0];
        c.name = positional[1];
        if (c.groupId.trimmed().isEmpty()) {
            *error = QStringLiteral("Идентификатор группы не может быть пустым");
            return false;
        }
    } else if (verb == QStringLiteral("vehicles")) {
        c.action = Action::Vehicles;
        if (!need(0, 1)) return false;
        c.groupId = positional.value(0);
    } else if (verb == QStringLiteral("add-vehicle")) {
        c.action = Action::AddVehicle;
        if (!need(4, 5)) return false;
        c.groupId = positional[0];
        if (!argumentInt(positional[1], QStringLiteral("Номер устройства"), 1, INT_MAX, &c.device, error)) return false;
        c.name = positional[2];
        c.number = positional[3];
        c.info = positional.value(4);
    } else if (verb == QStringLiteral("control-points")) {
        c.action = Action::ControlPoints;
        if (!need(1, 1)) return false;
        if (!argumentInt(positional[0], QStringLiteral("Номер устройства"), 1, INT_MAX, &c.device, error)) return false;
    } else if (verb == QStringLiteral("add-control-point")) {
        c.action = Action::AddControlPoint;
        if (!need(6, 7)) return false;
        if (!argumentInt(positional[0], QStringLiteral("Номер устройства"), 1, INT_MAX, &c.device, error)) return false;
        c.setName = positional[1];
        c.name = positional[2];
        if (!argumentDouble(positional[3], QStringLiteral("Широта"), -90, 90, &c.lat, error)) return false;
        if (!argumentDouble(positional[4], QStringLiteral("Долгота"), -180, 180, &c.lon, error)) return false;
        if (!argumentDouble(positional[5], QStringLiteral("Радиус, м"), 0, 1e7, &c.radius, error)) return false;
        c.note = positional.value(6);
        if (c.setName.isEmpty()) {
            *error = QStringLiteral("Имя набора контрольных точек не может быть пустым");
            return false;
        }
    } else if (verb == QStringLiteral("import")) {
        c.action = Action::Import;
        if (!need(1, 1)) return false;
        c.file = positional[0];
        allowed << QStringLiteral("--device") << QStringLiteral("--zone");
    } else if (verb == QStringLiteral("demo")) {
        c.action = Action::Demo;
        if (!need(0, 0)) return false;
        allowed << QStringLiteral("--chart") << QStringLiteral("--days") << QStringLiteral("--until");
    } else if (verb == QStringLiteral("compute")) {
        c.action = Action::Compute;
        if (!need(4, 4)) return false;
        c.groupId = positional[0];
        if (!argumentInt(positional[1], QStringLiteral("Номер устройства"), 0, INT_MAX, &c.device, error)) return false;
        c.begin = positional[2];
        c.end = positional[3];
        if (!argumentDateTime(c.begin, QStringLiteral("Начало периода"), error)) return false;
        if (!argumentDateTime(c.end, QStringLiteral("Конец периода"), error)) return false;
        allowed << QStringLiteral("--timeout");
    } else if (verb == QStringLiteral("online")) {
        c.action = Action::Online;
        if (!need(0, 0)) return false;
        allowed << QStringLiteral("--device") << QStringLiteral("--lat") << QStringLiteral("--lon")
                << QStringLiteral("--speed") << QStringLiteral("--time");
    } else if (verb == QStringLiteral("close")) {
        c.action = Action::Close;
        if (!need(0, 0)) return false;
    } else {
        *error = QStringLiteral("Неизвестная команда «%1»").arg(verb);
        return false;
    }

    bool hasDevice = false, hasLat = false, hasLon = false;
    for (int i = 0; i < options.size(); i += 2) {
        const QString& o = options[i];
        const QString& v = options[i + 1];
        if (!allowed.contains(o)) {
            *error = QStringLiteral("Команда «%1» не знает параметра «%2»").arg(verb, o);
            return false;
        }
        if (o == QStringLiteral("--device")) {
            if (!argumentInt(v, QStringLiteral("Номер устройства"), 1, INT_MAX, &c.device, error)) return false;
            hasDevice = true;
        } else if (o == QStringLiteral("--zone")) {
#ifdef TELVIKA_HAVE_IMPORT
            server::import::TrackZone zone = server::import::TrackZone::local();
            if (!server::import::TrackZone::fromName(v, &zone)) {
                *error = QStringLiteral("Неизвестный часовой пояс «%1»: ожидается local, UTC или имя вроде Europe/Moscow").arg(v);
                return false;
            }
#endif
            c.zone = v;
        } else if (o == QStringLiteral("--chart")) {
            c.chartPath = v;
        } else if (o == QStringLiteral("--days")) {
            if (!argumentInt(v, QStringLiteral("Число дней"), 1, 366, &c.days, error)) return false;
        } else if (o == QStringLiteral("--until")) {
            // A whole day means its midnight: "--until 12.01.2026" drives the days before it.
            const QString moment = v.trimmed().size() == 10 ? v.trimmed() + QStringLiteral(" 00:00:00") : v;
            if (!argumentDateTime(moment, QStringLiteral("Конец демонстрационных данных"), error)) return false;
            c.until = parseFixedDateTime(moment);
        } else if (o == QStringLiteral("--timeout")) {
            if (!argumentInt(v, QStringLiteral("Время ожидания, с"), 1, 86400, &c.timeoutSeconds, error)) return false;
        } else if (o == QStringLiteral("--lat")) {
            if (!argumentDouble(v, QStringLiteral("Широта"), -90, 90, &c.lat, error)) return false;
            hasLat = true;
        } else if (o == QStringLiteral("--lon")) {
            if (!argumentDouble(v, QStringLiteral("Долгота"), -180, 180, &c.lon, error)) return false;
            hasLon = true;
        } else if (o == QStringLiteral("--speed")) {
            if (!argumentDouble(v, QStringLiteral("Скорость, км/ч"), 0, server::MaxTelemetrySpeedKmh, &c.speed, error)) return false;
        } else if (o == QStringLiteral("--time")) {
            if (!argumentDateTime(v, QStringLiteral("Время точки"), error)) return false;
            c.time = parseFixedDateTime(v);
        }
    }
    if (c.action == Action::Import && !hasDevice) {
        *error = QStringLiteral("Для импорта нужен номер устройства: --device N");
        return false;
    }
    if (c.action == Action::Online) {
        c.hasPoint = hasDevice || hasLat || hasLon;
        if (c.hasPoint && !(hasDevice && hasLat && hasLon)) {
            *error = QStringLiteral("Для точки нужны все три параметра: --device, --lat и --lon");
            return false;
        }
    }
    *command = c;
    return true;
}

QString AdminCommand::usage() {
    return QStringLiteral(
        "Использование: telvika-admin [--data ПАПКА] [--store АДРЕС] [--socket ИМЯ] [--server ПРОГРАММА] КОМАНДА ...\n"
        "  --store АДРЕС   база: sqlite:ФАЙЛ (по умолчанию telvika-server.db в папке данных) или\n"
        "                  postgresql://сервер[:порт]/база (пароль из PGPASSWORD или ~/.pgpass);\n"
        "                  без --store берётся TELVIKA_STORE\n"
        "Команды базы (работают с базой, работающим серверам сообщается об изменении):\n"
        "  groups                                  список групп\n"
        "  add-group ИД ИМЯ                        добавить группу\n"
        "  vehicles [ИД_ГРУППЫ]                    список транспортных средств\n"
        "  add-vehicle ИД_ГРУППЫ УСТРОЙСТВО ИМЯ НОМЕР [ИНФО]\n"
        "  control-points УСТРОЙСТВО               контрольные точки транспортного средства\n"
        "  add-control-point УСТРОЙСТВО НАБОР ИМЯ ШИРОТА ДОЛГОТА РАДИУС_М [ПРИМЕЧАНИЕ]\n"
        "  import ФАЙЛ --device N [--zone ПОЯС]    трек GPX или CSV в телеметрию устройства; ПОЯС времени\n"
        "                                          CSV без пояса: local (по умолчанию), UTC, Europe/Moscow\n"
        "  demo [--chart ПУТЬ] [--days N] [--until \"дд.мм.гггг[ чч:мм:сс]\"]\n"
        "                                          демонстрационный парк и карта города: N дней\n"
        "                                          до указанного момента (по умолчанию до сейчас)\n"
        "Команды сервера (как другой пользователь):\n"
        "  compute ИД_ГРУППЫ УСТРОЙСТВО \"дд.мм.гггг чч:мм:сс\" \"дд.мм.гггг чч:мм:сс\" [--timeout С]\n"
        "                                          расчёт и ожидание его окончания\n"
        "  online [--device N --lat Ш --lon Д [--speed V] [--time \"дд.мм.гггг чч:мм:сс\"]]\n"
        "                                          поступление данных в реальном времени\n"
        "  close                                   закрыть сервер\n"
        "Коды завершения: 0 успех, 1 ошибка выполнения, 2 неверные аргументы.\n");
}

}  // namespace telvika::admin

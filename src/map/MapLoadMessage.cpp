#include "map/MapLoadMessage.h"

namespace telvika {

QString MapLoadMessage(int code) {
    switch (code) {
        case 0: return QStringLiteral("Карта успешно загружена");
        case 1: return QStringLiteral("Карта уже была загружена");
        case 2: return QStringLiteral("Отсутствует файл карты");
        case 3: return QStringLiteral("Неправильный файл карты");
        case 4: return QStringLiteral("Неизвестный формат карты");
        case 5: return QStringLiteral("Системная ошибка");
        case 6: return QStringLiteral("Codifier file not found");
        case 7: return QStringLiteral("Lookup file not found");
        case 11: return QStringLiteral("Карта не загружена");
        case 12: return QStringLiteral("Неправильная команда загрузки");
        case 13: return QStringLiteral("Неправильный стиль");
        case 14: return QStringLiteral("Неправильная таблица");
        case 15: return QStringLiteral("Записи не загружены");
        case 16: return QStringLiteral("Объект не найден");
        case 17: return QStringLiteral("Specified base map is not loaded");
        default: return QString();
    }
}

}  // namespace telvika

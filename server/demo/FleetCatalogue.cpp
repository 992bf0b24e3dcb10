#include "demo/FleetCatalogue.h"

namespace telvika::server::demo {

namespace {

VehicleKind car(const char* name, double lPer100, double tank, double highway = 0.9) {
    VehicleKind k;
    k.name = QString::fromUtf8(name);
    k.profile.cruiseFactor = 0.92;
    k.profile.highwayFactor = highway;
    k.profile.litresPer100Km = lPer100;
    k.profile.tank1Capacity = tank;
    k.profile.accel = 1.8;
    k.profile.decel = 2.2;
    return k;
}

VehicleKind van(const char* name, double lPer100, double tank, double highway = 0.88) {
    VehicleKind k = car(name, lPer100, tank, highway);
    k.profile.cruiseFactor = 0.88;
    k.profile.accel = 1.3;
    k.profile.decel = 1.9;
    return k;
}

VehicleKind truck(const char* name, double lPer100, double tank1, double tank2 = 0.0, double highway = 0.85) {
    VehicleKind k = van(name, lPer100, tank1, highway);
    k.profile.cruiseFactor = 0.8;
    k.profile.tank2Capacity = tank2;
    k.profile.accel = 0.8;
    k.profile.decel = 1.5;
    return k;
}

VehicleKind with(VehicleKind k, quint8 drive, quint8 stop) {
    k.driveSensors = drive;
    k.stopSensors = stop;
    return k;
}

constexpr quint8 S1 = 1, S2 = 2, S3 = 4, S4 = 8, S5 = 16, S6 = 32;

}  // namespace

QVector<GroupKind> fleetCatalogue() {
    QVector<GroupKind> groups;
    groups.push_back({QStringLiteral("Доставка продуктов"), false, 6.5, 17.5, 0,
                      {with(van("ГАЗель NEXT", 14, 80), S3, S1), with(van("ГАЗель Бизнес", 15, 64), S3, S1),
                       with(van("Hyundai Porter", 11, 60), 0, S1), with(van("Ford Transit", 12, 80), S3, S1 | S6)}});
    groups.push_back({QStringLiteral("Стройматериалы"), false, 7.0, 18.0, 1,
                      {with(truck("КАМАЗ 65115", 32, 350, 210), 0, S5), with(truck("МАЗ 5440", 30, 500), 0, S5),
                       with(truck("КАМАЗ 43118", 35, 210, 125), 0, S5 | S1), with(truck("ГАЗон NEXT", 18, 105), 0, S1)}});
    groups.push_back({QStringLiteral("Такси «Ормань»"), true, 6.0, 21.0, 2,
                      {with(car("Лада Веста", 8, 55, 1.12), S2, S6), with(car("Kia Rio", 7.5, 50), S2, S6),
                       with(car("Hyundai Solaris", 7.5, 50, 1.15), S2, S6), with(car("Skoda Octavia", 8, 50), S2, S6),
                       with(car("Renault Logan", 8.5, 50), S2, S6)}});
    groups.push_back({QStringLiteral("Коммунальные службы"), true, 7.0, 17.0, 3,
                      {with(truck("КО-440 на шасси КАМАЗ", 38, 210), S4, S5), with(truck("ЗИЛ-433362", 30, 170), S4, S1),
                       with(van("УАЗ Профи", 16, 80), 0, S6)}});
    groups.push_back({QStringLiteral("Скорая помощь"), true, 6.0, 22.0, 0,
                      {with(van("ГАЗель Соболь", 13, 70, 1.15), S3 | S4, S6), with(van("УАЗ 3962", 16, 77, 1.1), S4, S6),
                       with(van("Ford Transit Скорая", 12, 80, 1.12), S3 | S4, S6)}});
    groups.push_back({QStringLiteral("Почта"), false, 8.0, 17.0, 1,
                      {with(van("Лада Ларгус", 9, 50), 0, S1), with(van("ГАЗель NEXT", 14, 80), 0, S1 | S6),
                       with(van("Renault Kangoo", 8, 60), 0, S1)}});
    groups.push_back({QStringLiteral("Аренда спецтехники"), false, 7.5, 18.0, 2,
                      {with(truck("Ивановец КС-45717", 36, 250, 0), 0, S5), with(truck("Урал NEXT", 40, 300, 210), 0, S5 | S1),
                       with(truck("Hyundai HD78", 16, 100), 0, S1), with(truck("JCB 3CX", 12, 160), 0, S5)}});
    groups.push_back({QStringLiteral("Служебный транспорт"), false, 8.0, 19.0, 3,
                      {with(car("Toyota Camry", 10, 70, 1.2), 0, S6), with(car("УАЗ Патриот", 13, 72), S3, S6),
                       with(car("Volkswagen Polo", 7, 55, 1.1), 0, S6), with(car("Лада Нива", 10, 58), 0, S1),
                       with(van("ГАЗель NEXT", 14, 80), S3, S1 | S5)}});
    groups.push_back({QStringLiteral("Дальние рейсы"), true, 5.0, 20.0, 0,
                      {with(truck("Volvo FH", 30, 600, 400, 0.95), S3, S1), with(truck("Scania R450", 29, 700, 0, 1.1), S3, S1),
                       with(truck("MAN TGX", 31, 580, 300, 0.95), S3, S1)}});
    return groups;
}

QString registrationNumber(quint32 value) {
    static const QString letters = QStringLiteral("АВЕКМНОРСТУХ");
    static const int regions[] = {77, 97, 177, 50, 150, 64, 164, 34, 134};
    const QChar a = letters[value % 12];
    const QChar b = letters[(value / 12) % 12];
    const QChar c = letters[(value / 144) % 12];
    const int digits = 1 + static_cast<int>((value / 1728) % 999);
    const int region = regions[(value / 1728 / 999) % 9];
    return QStringLiteral("%1%2%3%4 %5").arg(a).arg(digits, 3, 10, QLatin1Char('0')).arg(b).arg(c).arg(region);
}

}  // namespace telvika::server::demo

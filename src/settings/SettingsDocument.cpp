#include "settings/SettingsDocument.h"

#include <QStringList>

#include <algorithm>
#include <limits>
#include <vector>

#include "common/Error.h"

namespace telvika {

namespace {

const QString InfoPointsTag = QStringLiteral("InfoPoints");

QString kindTag(int i) {
    return InfoPointsTag + QString::number(i);
}

QString boolText(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// Characters XML 1.0 can carry at all; any other is left out of the file.
bool isXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// True when every character of a name or of a comment's or instruction's text can stand in the
// file. The parser lets a few others through in those places; a node that carries one is left out
// of a save, since the saved file would not parse again.
bool allXmlChars(const QString& text) {
    const QList<uint> chars = text.toUcs4();
    return std::all_of(chars.begin(), chars.end(), [](uint c) { return isXmlChar(char32_t(c)); });
}

// True when the text is an XML name in ASCII terms (letters, digits, '_', ':', '.', '-', the first
// no digit, '.' or '-'; any character above ASCII allowed). The parser takes an instruction whose
// target is no name where it does not check, and rejects it when the saved file is read again.
bool isNameLike(const QString& text) {
    if (text.isEmpty()) return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool start = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
        const bool rest = start || (c >= '0' && c <= '9') || c == '.' || c == '-';
        if (!(i == 0 ? start : rest)) return false;
    }
    return true;
}

QString escaped(const QString& value, bool attribute) {
    QString out;
    out.reserve(value.size());
    for (char32_t c : value.toUcs4()) {
        switch (c) {
            case '&':
                out += QStringLiteral("&amp;");
                break;
            case '<':
                out += QStringLiteral("&lt;");
                break;
            case '>':
                out += QStringLiteral("&gt;");
                break;
            case '\r':
                out += QStringLiteral("&#xd;");
                break;
            case '\n':
                out += QStringLiteral("&#xa;");
                break;
            case '"':
                out += attribute ? QStringLiteral("&quot;") : QStringLiteral("\"");
                break;
            case '\t':
                out += attribute ? QStringLiteral("&#x9;") : QStringLiteral("\t");
                break;
            case 0xFEFF:
                // Written as is, the reader takes it for a byte-order mark and drops it.
                out += QStringLiteral("&#xfeff;");
                break;
            default:
                if (isXmlChar(c)) out += QString::fromUcs4(&c, 1);
        }
    }
    return out;
}

// Attributes in the order the file gives them: the namespace first, then those of a kind, then
// any others by name.
void writeAttributes(QString& out, const QDomElement& element) {
    static const QStringList order{QStringLiteral("xmlns"),       QStringLiteral("name"),
                                   QStringLiteral("VisibleList"), QStringLiteral("VisibleIcon"),
                                   QStringLiteral("query"),       QStringLiteral("Icon")};
    const QDomNamedNodeMap map = element.attributes();
    QStringList names;
    for (int i = 0; i < map.count(); ++i)
        if (allXmlChars(map.item(i).nodeName())) names << map.item(i).nodeName();
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const auto ia = order.indexOf(a), ib = order.indexOf(b);
        if (ia != ib) return (ia < 0 ? order.size() : ia) < (ib < 0 ? order.size() : ib);
        return a < b;
    });
    for (const QString& name : names)
        out += QLatin1Char(' ') + name + QStringLiteral("=\"") + escaped(element.attribute(name), true) +
               QLatin1Char('"');
}

bool isText(const QDomNode& n) {
    return n.isText() || n.isCDATASection();
}

// Writes one node. An element with element children gets its start tag written and is returned
// for its children to follow; everything else is written whole and a null element is returned.
QDomElement writeNodeStart(QString& out, const QDomNode& node) {
    if (node.isElement()) {
        const QDomElement e = node.toElement();
        if (!allXmlChars(e.tagName())) return QDomElement();
        out += QLatin1Char('<') + e.tagName();
        writeAttributes(out, e);
        const QDomNodeList children = e.childNodes();
        if (children.isEmpty()) {
            out += QStringLiteral(" />\r\n");
            return QDomElement();
        }
        bool textOnly = true;
        for (int i = 0; i < children.count(); ++i) textOnly = textOnly && isText(children.item(i));
        if (textOnly) {
            out += QLatin1Char('>') + escaped(e.text(), false) + QStringLiteral("</") + e.tagName() +
                   QStringLiteral(">\r\n");
            return QDomElement();
        }
        out += QStringLiteral(">\r\n");
        return e;
    } else if (isText(node)) {
        const QString text = node.toCharacterData().data();
        if (!text.trimmed().isEmpty()) out += escaped(text, false) + QStringLiteral("\r\n");
    } else if (node.isComment()) {
        if (!allXmlChars(node.toComment().data())) return QDomElement();
        out += QStringLiteral("<!--") + node.toComment().data() + QStringLiteral("-->\r\n");
    } else if (node.isProcessingInstruction()) {
        const QDomProcessingInstruction pi = node.toProcessingInstruction();
        if (pi.target() != QLatin1String("xml") && isNameLike(pi.target()) && allXmlChars(pi.target()) &&
            allXmlChars(pi.data()))
            out +=
                QStringLiteral("<?") + pi.target() + QLatin1Char(' ') + pi.data() + QStringLiteral("?>\r\n");
    }
    return QDomElement();
}

// Writes a node and everything under it, depth first with a stack of its own: a settings file
// nested thousands deep must not exhaust the thread's stack.
void writeNode(QString& out, const QDomNode& node) {
    struct Open {
        QDomElement element;
        QDomNodeList children;
        int next = 0;
    };
    std::vector<Open> open;
    const QDomElement first = writeNodeStart(out, node);
    if (!first.isNull()) open.push_back({first, first.childNodes(), 0});
    while (!open.empty()) {
        Open& top = open.back();
        if (top.next < top.children.count()) {
            const QDomNode child = top.children.item(top.next++);
            const QDomElement e = writeNodeStart(out, child);  // may grow the stack: `top` is not used after
            if (!e.isNull()) open.push_back({e, e.childNodes(), 0});
            continue;
        }
        out += QStringLiteral("</") + top.element.tagName() + QStringLiteral(">\r\n");
        open.pop_back();
    }
}

QDomElement textElement(QDomDocument& doc, const QString& name, const QString& text) {
    QDomElement e = doc.createElement(name);
    e.appendChild(doc.createTextNode(text));
    return e;
}

}  // namespace

QString settingsNamespace() {
    return QStringLiteral("urn:telvika:player:settings");
}

QString settingsDateTimeFormat() {
    return QStringLiteral("dd.MM.yyyy HH:mm:ss");
}

QVector<TInfoPoints> defaultInfoPointKinds() {
    struct Row {
        const char* name;
        const char* query;
        const char* icon;
    };
    static const Row rows[] = {
        {"Контрольные точки", "checkpoints-stages", "IcC"},
        {"Список остановок", "parks", "IcP"},
        {"Периоды отсутствия сигнала", "blinds", "IcV"},
        {"Периоды пропадания питания", "power_off", "IcB"},
        {"Периоды превышения скорости", "over_speed", "IcS"},
        {"Заправки и сливы бака №1", "tank-num1", "IcZ"},
        {"Заправки и сливы бака №2", "tank-num2", "IcZ"},
        {"Включения датчика №1", "sensor_on-num1", "Ic1"},
        {"Включения датчика №2", "sensor_on-num2", "Ic2"},
        {"Включения датчика №3", "sensor_on-num3", "Ic3"},
        {"Включения датчика №4", "sensor_on-num4", "Ic4"},
        {"Включения датчика №5", "sensor_on-num5", "Ic5"},
        {"Включения датчика №6", "sensor_on-num6", "Ic6"},
    };
    QVector<TInfoPoints> kinds;
    for (const Row& r : rows) {
        TInfoPoints k;
        k.name = QString::fromUtf8(r.name);
        k.query = QString::fromUtf8(r.query);
        k.VisibleList = true;
        k.VisibleIcon = true;
        k.Icon = QString::fromUtf8(r.icon);
        kinds.push_back(k);
    }
    return kinds;
}

TSettingsValues defaultSettingsValues() {
    TSettingsValues v;
    v.DateTimeBegin = settingsDateTime(QDate(2007, 2, 6), QTime(0, 0));
    v.DateTimeEnd = settingsDateTime(QDate(2009, 6, 6), QTime(0, 0));
    v.InfoPoints = defaultInfoPointKinds();
    return v;
}

QByteArray defaultSettingsDocument() {
    const TSettingsValues v = defaultSettingsValues();
    QStringList lines{
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>"),
        QStringLiteral("<AppSettings xmlns=\"%1\">").arg(settingsNamespace()),
        QStringLiteral("<Settings>"),
        QStringLiteral("<LoadKT>false</LoadKT>"),
        QStringLiteral("<LoadIT>false</LoadIT>"),
        QStringLiteral("<IconNum>0</IconNum>"),
        QStringLiteral("<GroupID>7</GroupID>"),
        QStringLiteral("<CarID>0</CarID>"),
        QStringLiteral("<DateTimeBegin>06.02.2007 00:00:00</DateTimeBegin>"),
        QStringLiteral("<DateTimeEnd>06.06.2009 00:00:00</DateTimeEnd>"),
        QStringLiteral("<Speed>60x</Speed>"),
        QStringLiteral("<Stops>true</Stops>"),
        QStringLiteral("<Cont>60</Cont>"),
        QStringLiteral("<InfoPointsCount>13</InfoPointsCount>"),
        QStringLiteral("<InfoPoints>"),
    };
    for (int i = 0; i < v.InfoPoints.size(); ++i) {
        const TInfoPoints& k = v.InfoPoints[i];
        lines << QStringLiteral(
                     "<%1 name=\"%2\" VisibleList=\"true\" VisibleIcon=\"true\" query=\"%3\" Icon=\"%4\" />")
                     .arg(kindTag(i + 1), k.name, k.query, k.Icon);
    }
    lines << QStringLiteral("</InfoPoints>") << QStringLiteral("</Settings>")
          << QStringLiteral("</AppSettings>");
    return QByteArray("\xEF\xBB\xBF") +
           (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

QByteArray settingsSkeleton() {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><AppSettings xmlns=\"%1\">"
               "<Settings></Settings></AppSettings>")
        .arg(settingsNamespace())
        .toUtf8();
}

bool parseSettingsBool(const QString& element, const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
    throw Error(QStringLiteral("Значение \"%1\" элемента %2 файла настроек не является логическим "
                               "(true или false).")
                    .arg(text, element));
}

int parseSettingsInt(const QString& element, const QString& text) {
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok, 10);
    if (!ok || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        throw Error(QStringLiteral("Значение \"%1\" элемента %2 файла настроек не является целым числом.")
                        .arg(text, element));
    return static_cast<int>(value);
}

QDateTime settingsDateTime(const QDate& date, const QTime& time) {
    return QDateTime(date, time, Qt::UTC);
}

QDateTime parseSettingsDateTime(const QString& element, const QString& text) {
    const QStringList parts = text.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QDate date =
        parts.size() == 2 ? QDate::fromString(parts[0], QStringLiteral("dd.MM.yyyy")) : QDate();
    const QTime time = parts.size() == 2 ? QTime::fromString(parts[1], QStringLiteral("HH:mm:ss")) : QTime();
    const QDateTime value = settingsDateTime(date, time);
    if (!date.isValid() || !time.isValid() || !value.isValid())
        throw Error(QStringLiteral("Значение \"%1\" элемента %2 файла настроек не является датой и временем "
                                   "в формате ДД.ММ.ГГГГ ЧЧ:ММ:СС.")
                        .arg(text, element));
    return value;
}

int parseSettingsSpeed(const QString& text) {
    QString digits = text;
    digits.remove(QLatin1Char('x')).remove(QLatin1Char('X'));
    return parseSettingsInt(QStringLiteral("Speed"), digits);
}

QString formatSettingsDateTime(const QDateTime& value) {
    return value.toString(settingsDateTimeFormat());
}

QString TSettingsReader::text(const QString& name) const {
    const QDomElement e = settings_.firstChildElement(name);
    if (e.isNull()) throw Error(QStringLiteral("В файле настроек нет элемента %1.").arg(name));
    return e.text();
}

bool TSettingsReader::boolean(const QString& name) const {
    return parseSettingsBool(name, text(name));
}
int TSettingsReader::integer(const QString& name) const {
    return parseSettingsInt(name, text(name));
}
QDateTime TSettingsReader::dateTime(const QString& name) const {
    return parseSettingsDateTime(name, text(name));
}
int TSettingsReader::speed() const {
    return parseSettingsSpeed(text(QStringLiteral("Speed")));
}

int TSettingsReader::kindCount() const {
    int n = 0;
    for (QDomElement e = settings_.firstChildElement(InfoPointsTag).firstChildElement(); !e.isNull();
         e = e.nextSiblingElement())
        ++n;
    return n;
}

TInfoPoints TSettingsReader::kind(int i) const {
    const QDomElement list = settings_.firstChildElement(InfoPointsTag);
    if (list.isNull()) throw Error(QStringLiteral("В файле настроек нет элемента %1.").arg(InfoPointsTag));
    const QString tag = kindTag(i);
    const QDomElement e = list.firstChildElement(tag);
    if (e.isNull()) throw Error(QStringLiteral("В файле настроек нет элемента %1.").arg(tag));
    auto flag = [&](const QString& attribute) {
        if (!e.hasAttribute(attribute))
            throw Error(QStringLiteral("У элемента %1 файла настроек нет атрибута %2.").arg(tag, attribute));
        return parseSettingsBool(tag + QLatin1Char('.') + attribute, e.attribute(attribute));
    };
    TInfoPoints k;
    k.name = e.attribute(QStringLiteral("name"));
    k.VisibleList = flag(QStringLiteral("VisibleList"));
    k.VisibleIcon = flag(QStringLiteral("VisibleIcon"));
    k.query = e.attribute(QStringLiteral("query"));
    k.Icon = e.attribute(QStringLiteral("Icon"));
    return k;
}

TSettingsValues TSettingsReader::all() const {
    TSettingsValues v;
    v.LoadKT = boolean(QStringLiteral("LoadKT"));
    v.LoadIT = boolean(QStringLiteral("LoadIT"));
    v.IconNum = integer(QStringLiteral("IconNum"));
    v.GroupID = integer(QStringLiteral("GroupID"));
    v.CarID = integer(QStringLiteral("CarID"));
    v.DateTimeBegin = dateTime(QStringLiteral("DateTimeBegin"));
    v.DateTimeEnd = dateTime(QStringLiteral("DateTimeEnd"));
    v.Speed = text(QStringLiteral("Speed"));
    v.Stops = boolean(QStringLiteral("Stops"));
    v.Cont = text(QStringLiteral("Cont"));
    const int n = kindCount();
    v.InfoPoints.clear();
    for (int i = 1; i <= n; ++i) v.InfoPoints.push_back(kind(i));
    return v;
}

QDomElement settingsElementOf(const QDomDocument& document) {
    const QDomElement root = document.documentElement();
    const QDomElement settings = root.firstChild().toElement();
    if (root.isNull() || settings.isNull())
        throw Error(
            QStringLiteral("В файле настроек нет раздела настроек: у корневого элемента нет "
                           "дочернего элемента."));
    return settings;
}

void writeSettingsValues(QDomDocument& doc, QDomElement settings, const TSettingsValues& v) {
    while (!settings.firstChild().isNull()) settings.removeChild(settings.firstChild());
    settings.appendChild(textElement(doc, QStringLiteral("LoadKT"), boolText(v.LoadKT)));
    settings.appendChild(textElement(doc, QStringLiteral("LoadIT"), boolText(v.LoadIT)));
    settings.appendChild(textElement(doc, QStringLiteral("GroupID"), QString::number(v.GroupID)));
    settings.appendChild(textElement(doc, QStringLiteral("IconNum"), QString::number(v.IconNum)));
    settings.appendChild(textElement(doc, QStringLiteral("CarID"), QString::number(v.CarID)));
    settings.appendChild(
        textElement(doc, QStringLiteral("DateTimeBegin"), formatSettingsDateTime(v.DateTimeBegin)));
    settings.appendChild(
        textElement(doc, QStringLiteral("DateTimeEnd"), formatSettingsDateTime(v.DateTimeEnd)));
    settings.appendChild(textElement(doc, QStringLiteral("Speed"), v.Speed));
    settings.appendChild(textElement(doc, QStringLiteral("Stops"), boolText(v.Stops)));
    settings.appendChild(textElement(doc, QStringLiteral("Cont"), v.Cont));
    settings.appendChild(
        textElement(doc, QStringLiteral("InfoPointsCount"), QString::number(v.InfoPoints.size())));
    QDomElement list = doc.createElement(InfoPointsTag);
    settings.appendChild(list);
    for (int i = 0; i < v.InfoPoints.size(); ++i) {
        const TInfoPoints& k = v.InfoPoints[i];
        QDomElement e = doc.createElement(kindTag(i + 1));
        e.setAttribute(QStringLiteral("name"), k.name);
        e.setAttribute(QStringLiteral("VisibleList"), boolText(k.VisibleList));
        e.setAttribute(QStringLiteral("VisibleIcon"), boolText(k.VisibleIcon));
        e.setAttribute(QStringLiteral("query"), k.query);
        e.setAttribute(QStringLiteral("Icon"), k.Icon);
        list.appendChild(e);
    }
}

QByteArray serializeSettingsDocument(const QDomDocument& document) {
    QString out = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n");
    for (QDomNode n = document.firstChild(); !n.isNull(); n = n.nextSibling())
        if (!n.isDocumentType()) writeNode(out, n);
    return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

}  // namespace telvika

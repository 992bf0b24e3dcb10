// Writes the synthetic city's nodes, ways and relations as OpenStreetMap XML, positions turned
// from metres about the centre into degrees.
#include "SyntheticCityBuilder.h"

#include <QFile>

#include <cstdio>

namespace synthetic {

namespace {

std::string xmlEscape(const std::string& s) {
    std::string out;
    for (char ch : s) {
        switch (ch) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += ch;
        }
    }
    return out;
}

void writeTags(std::FILE* f, const Tags& tags) {
    for (const auto& [k, v] : tags)
        std::fprintf(f, "  <tag k=\"%s\" v=\"%s\"/>\n", xmlEscape(k).c_str(), xmlEscape(v).c_str());
}

}  // namespace

bool Builder::write(const QString& path) const {
    std::FILE* f = std::fopen(QFile::encodeName(path).constData(), "w");
    if (f == nullptr) return false;
    std::fprintf(f, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osm version=\"0.6\" generator=\"telvika-synthetic\">\n");
    for (size_t k = 0; k < nodes_.size(); ++k) {
        const Node& n = nodes_[k];
        const double lat = lat0_ + n.y / 110540.0, lon = lon0_ + n.x / mPerDegLon_;
        if (n.tags.empty()) {
            std::fprintf(f, "<node id=\"%zu\" lat=\"%.7f\" lon=\"%.7f\"/>\n", k + 1, lat, lon);
        } else {
            std::fprintf(f, "<node id=\"%zu\" lat=\"%.7f\" lon=\"%.7f\">\n", k + 1, lat, lon);
            writeTags(f, n.tags);
            std::fprintf(f, "</node>\n");
        }
    }
    for (size_t k = 0; k < ways_.size(); ++k) {
        std::fprintf(f, "<way id=\"%zu\">\n", k + 1);
        for (long n : ways_[k].nodes) std::fprintf(f, "  <nd ref=\"%ld\"/>\n", n);
        writeTags(f, ways_[k].tags);
        std::fprintf(f, "</way>\n");
    }
    for (size_t k = 0; k < relations_.size(); ++k) {
        std::fprintf(f, "<relation id=\"%zu\">\n  <member type=\"way\" ref=\"%ld\" role=\"outer\"/>\n"
                        "  <member type=\"way\" ref=\"%ld\" role=\"inner\"/>\n",
                     k + 1, relations_[k].outer, relations_[k].inner);
        writeTags(f, relations_[k].tags);
        std::fprintf(f, "</relation>\n");
    }
    std::fprintf(f, "</osm>\n");
    return std::fclose(f) == 0;
}

}  // namespace synthetic

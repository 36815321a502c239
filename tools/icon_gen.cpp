// Build-time renderer of the toolbar icons: reads resources/icons/icons.txt (line art
// on a 24 x 24 grid) and writes every icon as PNG in the large (24 px) and small
// (16 px) sets at 1x and 2x, plus a C++ source that embeds the PNG bytes.
//
// Usage: zelo_icon_gen icons.txt out_dir out.cpp
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

QColor colour_of(const QString& key) {
    static const std::map<QString, QColor> kColours = {
        {"k", QColor(0x27, 0x31, 0x3d)}, {"b", QColor(0x1d, 0x64, 0xc8)}, {"r", QColor(0xc8, 0x32, 0x2b)},
        {"g", QColor(0x2a, 0x8a, 0x3a)}, {"o", QColor(0xe0, 0x7a, 0x10)}, {"y", QColor(0xf0, 0xc8, 0x30)},
        {"s", QColor(0x7b, 0x87, 0x94)}, {"p", QColor(0x8a, 0x3f, 0xb5)}, {"w", QColor(0xff, 0xff, 0xff)},
        {"l", QColor(0xb8, 0xd4, 0xf4)}, {"t", QColor(0xd9, 0xb0, 0x7a)}};
    auto it = kColours.find(key);
    return it == kColours.end() ? QColor(Qt::magenta) : it->second;
}

struct Icon {
    int id;
    QStringList steps;
};

bool fail(const std::string& what) {
    std::fprintf(stderr, "icon_gen: %s\n", what.c_str());
    return false;
}

// Draws the steps; false on a step it does not know.
bool draw(QPainter& p, const QStringList& steps, const std::map<QString, QStringList>& macros, int depth = 0) {
    if (depth > 4) return fail("macro nesting");
    for (const QString& raw : steps) {
        QStringList t = raw.trimmed().split(' ', Qt::SkipEmptyParts);
        if (t.isEmpty()) continue;
        QString op = t.takeFirst();
        std::vector<double> v;
        for (const QString& s : t) v.push_back(s.toDouble());
        QPen pen = p.pen();
        auto points = [&](size_t from) {
            QPolygonF poly;
            for (size_t i = from; i + 1 < v.size(); i += 2) poly << QPointF(v[i], v[i + 1]);
            return poly;
        };
        if (op == "c") {
            pen.setColor(colour_of(t.value(0)));
            p.setPen(pen);
        } else if (op == "f") {
            p.setBrush(colour_of(t.value(0)));
        } else if (op == "n") {
            p.setBrush(Qt::NoBrush);
        } else if (op == "w") {
            pen.setWidthF(v.at(0));
            p.setPen(pen);
        } else if (op == "d") {
            pen.setDashPattern({2.2, 1.8});
            p.setPen(pen);
        } else if (op == "s") {
            pen.setStyle(Qt::SolidLine);
            p.setPen(pen);
        } else if (op == "L") {
            p.drawPolyline(points(0));
        } else if (op == "G") {
            p.drawPolygon(points(0));
        } else if (op == "R" && v.size() == 4) {
            p.drawRect(QRectF(v[0], v[1], v[2], v[3]));
        } else if (op == "C" && v.size() == 3) {
            p.drawEllipse(QPointF(v[0], v[1]), v[2], v[2]);
        } else if (op == "E" && v.size() == 4) {
            p.drawEllipse(QPointF(v[0], v[1]), v[2], v[3]);
        } else if (op == "A" && v.size() == 6) {
            QPainterPath path;
            QRectF box(v[0] - v[2], v[1] - v[3], 2 * v[2], 2 * v[3]);
            path.arcMoveTo(box, v[4]);
            path.arcTo(box, v[4], v[5]);
            p.strokePath(path, p.pen());
        } else if (op == "Q" && v.size() == 6) {
            QPainterPath path(QPointF(v[0], v[1]));
            path.quadTo(v[2], v[3], v[4], v[5]);
            p.strokePath(path, p.pen());
        } else if (op == "B" && v.size() == 8) {
            QPainterPath path(QPointF(v[0], v[1]));
            path.cubicTo(v[2], v[3], v[4], v[5], v[6], v[7]);
            p.strokePath(path, p.pen());
        } else if (op == "D" && v.size() == 3) {
            p.save();
            p.setPen(Qt::NoPen);
            p.setBrush(pen.color());
            p.drawEllipse(QPointF(v[0], v[1]), v[2], v[2]);
            p.restore();
        } else if (op == "M") {
            auto it = macros.find(t.value(0));
            if (it == macros.end() || !draw(p, it->second, macros, depth + 1)) return fail("macro " + t.value(0).toStdString());
        } else {
            return fail("step '" + raw.toStdString() + "'");
        }
    }
    return true;
}

QImage render(const Icon& icon, int size, const std::map<QString, QStringList>& macros, bool* ok) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    QPen pen(colour_of("k"), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    *ok = draw(p, icon.steps, macros);
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: zelo_icon_gen icons.txt out_dir out.cpp\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text)) return fail("cannot read icons"), 1;
    std::map<QString, QStringList> macros;
    std::vector<Icon> icons;
    for (const QString& line : QString::fromUtf8(in.readAll()).split('\n')) {
        QString l = line.trimmed();
        if (l.isEmpty() || l.startsWith('#')) continue;
        int space = l.indexOf(' ');
        if (space < 0) return fail("bad line " + l.toStdString()), 1;
        QStringList steps = l.mid(space + 1).split(';');
        if (l.startsWith('@')) {
            macros[l.mid(1, space - 1)] = steps;
            continue;
        }
        bool ok = false;
        int id = l.left(space).toInt(&ok);
        if (!ok) return fail("bad id " + l.toStdString()), 1;
        icons.push_back({id, steps});
    }

    QString out_dir = QString::fromLocal8Bit(argv[2]);
    std::string cpp = "// Generated by tools/icon_gen.cpp from resources/icons/icons.txt. Do not edit.\n"
                      "#include \"shell/icon_data.h\"\n\nnamespace {\n";
    std::string table;
    int n = 0;
    struct Set {
        const char* name;
        int size;
        int large;
    };
    for (Set set : {Set{"large", 24, 1}, Set{"small", 16, 0}}) {
        QDir().mkpath(out_dir + "/" + set.name);
        for (const Icon& icon : icons) {
            for (int scale : {1, 2}) {
                bool ok = false;
                QImage img = render(icon, set.size * scale, macros, &ok);
                if (!ok) return fail("icon " + std::to_string(icon.id)), 1;
                QString file = QStringLiteral("%1/%2/%3%4.png").arg(out_dir, set.name).arg(icon.id)
                                   .arg(scale == 2 ? "@2x" : "");
                if (!img.save(file)) return fail("cannot write " + file.toStdString()), 1;
                QByteArray png;
                QBuffer buf(&png);
                buf.open(QIODevice::WriteOnly);
                img.save(&buf, "PNG");
                cpp += "const unsigned char k" + std::to_string(n) + "[] = {";
                for (int i = 0; i < png.size(); ++i) {
                    if (i % 20 == 0) cpp += "\n";
                    cpp += std::to_string(static_cast<unsigned char>(png[i])) + ",";
                }
                cpp += "};\n";
                table += "    {" + std::to_string(icon.id) + ", " + std::to_string(set.large) + ", " +
                         std::to_string(scale) + ", k" + std::to_string(n) + ", sizeof k" + std::to_string(n) +
                         "},\n";
                ++n;
            }
        }
    }
    cpp += "}  // namespace\n\nconst IconImage kIconImages[] = {\n" + table + "};\nconst size_t kIconImageCount = " +
           std::to_string(n) + ";\n";
    QFile out(QString::fromLocal8Bit(argv[3]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return fail("cannot write source"), 1;
    out.write(cpp.data(), qint64(cpp.size()));
    return 0;
}

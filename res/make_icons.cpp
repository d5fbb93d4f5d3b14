// Draws the program's own icons into a folder (res/icons): toolbar buttons (32x32), tree node
// images (16x16) and the application icon (32x32 and 64x64).
// Run: QT_QPA_PLATFORM=offscreen tessiva-make-icons res/icons
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>

namespace {
QString g_outDir;

const QColor kInk(40, 40, 48);

void SaveOne(const QString& name, int size, const std::function<void(QPainter&)>& draw);

// A 32-pixel picture comes with 16, 24 and 48-pixel ones ("name-16.png"), drawn at each size
// rather than scaled, so small toolbars and high-DPI screens stay sharp.
void Save(const QString& name, int size, const std::function<void(QPainter&)>& draw) {
    SaveOne(name, size, draw);
    if (size != 32) return;
    for (int other : {16, 24, 48}) SaveOne(name + "-" + QString::number(other), other, draw);
}

void SaveOne(const QString& name, int size, const std::function<void(QPainter&)>& draw) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.scale(size / 32.0, size / 32.0);  // every drawing is in a 32x32 frame
        draw(p);
    }
    const QString path = g_outDir + "/" + name + ".png";
    if (!image.save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

void Label(QPainter& p, const QRectF& box, const QString& text, const QColor& color, double pt) {
    QFont font("DejaVu Sans Condensed");
    font.setBold(true);
    font.setPixelSize(static_cast<int>(pt));
    p.setFont(font);
    p.setPen(color);
    p.drawText(box, Qt::AlignCenter, text);
}

QColor KindColor(const QString& kind) {
    if (kind == "BRT") return QColor(200, 70, 40);
    if (kind == "CNV") return QColor(40, 110, 190);
    if (kind == "QCN") return QColor(120, 60, 170);
    return QColor(30, 130, 70);  // CSV
}

// A folder; an open one shows its front flap tilted.
void Folder(QPainter& p, bool open = false) {
    QPainterPath back;
    back.moveTo(2, 7);
    back.lineTo(11, 7);
    back.lineTo(14, 10);
    back.lineTo(open ? 26 : 28, 10);
    back.lineTo(open ? 26 : 28, 27);
    back.lineTo(2, 27);
    back.closeSubpath();
    p.setPen(QPen(QColor(150, 110, 20), open ? 1.6 : 1.2));
    p.setBrush(QColor(235, 190, 70));
    p.drawPath(back);
    QPainterPath front;
    front.moveTo(open ? 9 : 5, open ? 15 : 14);
    front.lineTo(31, open ? 15 : 14);
    front.lineTo(open ? 26 : 28, 27);
    front.lineTo(2, 27);
    front.closeSubpath();
    p.setBrush(open ? QColor(255, 230, 150) : QColor(250, 215, 110));
    p.drawPath(front);
}

void Floppy(QPainter& p) {
    p.setPen(QPen(QColor(20, 40, 90), 1.2));
    p.setBrush(QColor(60, 100, 170));
    p.drawRoundedRect(QRectF(3, 3, 26, 26), 2, 2);
    p.setBrush(QColor(220, 225, 235));
    p.drawRect(QRectF(8, 3.6, 15, 8));
    p.setBrush(QColor(60, 100, 170));
    p.drawRect(QRectF(18, 5, 3, 5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6, 16, 20, 12));
}

void Page(QPainter& p) {
    QPainterPath page;
    page.moveTo(6, 2);
    page.lineTo(21, 2);
    page.lineTo(27, 8);
    page.lineTo(27, 30);
    page.lineTo(6, 30);
    page.closeSubpath();
    p.setPen(QPen(QColor(90, 90, 100), 1.2));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setBrush(QColor(215, 215, 225));
    QPainterPath fold;
    fold.moveTo(21, 2);
    fold.lineTo(21, 8);
    fold.lineTo(27, 8);
    fold.closeSubpath();
    p.drawPath(fold);
}

void Phone(QPainter& p, double x) {
    p.setPen(QPen(QColor(30, 30, 36), 1.2));
    p.setBrush(QColor(70, 75, 85));
    p.drawRoundedRect(QRectF(x, 2, 13, 28), 2.5, 2.5);
    p.setBrush(QColor(150, 210, 240));
    p.drawRect(QRectF(x + 2, 5, 9, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 200, 205));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) p.drawRect(QRectF(x + 2.2 + c * 3.2, 18.5 + r * 3.2, 2.2, 2.2));
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& color) {
    p.setPen(QPen(color, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
    const QPointF n(-d.y(), d.x());
    QPolygonF head;
    head << to + d * 2.5 << to - d * 3.5 + n * 4.5 << to - d * 3.5 - n * 4.5;
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(head);
}

void CheckBadge(QPainter& p) {
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(QColor(40, 150, 60));
    p.drawEllipse(QRectF(19, 19, 12.5, 12.5));
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPolygonF tick;
    tick << QPointF(22, 25.5) << QPointF(24.6, 28) << QPointF(28.6, 22.6);
    p.drawPolyline(tick);
}

void PlusBadge(QPainter& p) {
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(QColor(40, 150, 60));
    p.drawEllipse(QRectF(19, 19, 12.5, 12.5));
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(25.25, 21.8), QPointF(25.25, 28.7));
    p.drawLine(QPointF(21.8, 25.25), QPointF(28.7, 25.25));
}

void LoadIcon(const QString& kind, bool add) {
    Save(QString("load_%1%2").arg(kind.toLower(), add ? "_add" : ""), 32, [&](QPainter& p) {
        Folder(p);
        Label(p, QRectF(2, 14, 28, 13), kind, KindColor(kind), 10);
        if (add) PlusBadge(p);
    });
}

void SaveIcon(const QString& kind, bool selected) {
    Save(QString("save_%1_%2").arg(selected ? "selected" : "all", kind.toLower()), 32, [&](QPainter& p) {
        Floppy(p);
        Label(p, QRectF(6, 16, 20, 12), kind, KindColor(kind), 9);
        if (selected) CheckBadge(p);
    });
}

void CsvIcon(bool selected) {
    Save(selected ? "csv_selected" : "csv_all", 32, [&](QPainter& p) {
        Page(p);
        p.setPen(QPen(QColor(150, 180, 160), 1));
        for (int y = 16; y <= 28; y += 4) p.drawLine(QPointF(8, y), QPointF(25, y));
        for (int x = 13; x <= 20; x += 7) p.drawLine(QPointF(x, 16), QPointF(x, 28));
        Label(p, QRectF(6, 4, 18, 11), "CSV", KindColor("CSV"), 8.5);
        if (selected) CheckBadge(p);
    });
}

void PhoneIcon(const QString& name, bool toPhone, bool selected, bool list) {
    Save(name, 32, [&](QPainter& p) {
        Phone(p, 17);
        const QColor color = toPhone ? QColor(200, 90, 20) : QColor(30, 130, 60);
        if (toPhone)
            Arrow(p, QPointF(2, 11), QPointF(11.5, 11), color);
        else
            Arrow(p, QPointF(13.5, 11), QPointF(4, 11), color);
        if (list) {
            p.setPen(QPen(QColor(60, 60, 70), 1));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(1.5, 17, 12, 13));
            p.setPen(QPen(QColor(30, 130, 70), 1.4));
            for (int y = 20; y <= 27; y += 3.5) p.drawLine(QPointF(3.5, y), QPointF(11.5, y));
        }
        if (selected) CheckBadge(p);
    });
}

void FindIcon() {
    Save("find", 32, [](QPainter& p) {
        p.setPen(QPen(QColor(60, 60, 70), 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(19, 19), QPointF(28, 28));
        p.setPen(QPen(QColor(60, 60, 70), 2.5));
        p.setBrush(QColor(190, 225, 250, 200));
        p.drawEllipse(QRectF(3, 3, 18, 18));
        Label(p, QRectF(3, 3, 18, 18), "NV", QColor(30, 70, 140), 8);
    });
}

void KeyIcon() {
    Save("spc", 32, [](QPainter& p) {
        p.setPen(QPen(QColor(130, 95, 10), 1.4));
        p.setBrush(QColor(240, 195, 60));
        p.drawEllipse(QRectF(2, 6, 13, 13));
        QPainterPath shaft;
        shaft.addRect(QRectF(13, 10.5, 17, 4));
        shaft.addRect(QRectF(23, 14, 3, 5));
        shaft.addRect(QRectF(27, 14, 3, 4));
        p.drawPath(shaft.simplified());
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(5.5, 10, 4.5, 4.5));
        Label(p, QRectF(0, 20, 32, 12), "SPC", kInk, 8.5);
    });
}

void PlugIcon(bool connect) {
    Save(connect ? "connect" : "disconnect", 32, [&](QPainter& p) {
        const QColor body = connect ? QColor(40, 140, 60) : QColor(190, 50, 40);
        p.setPen(QPen(QColor(40, 40, 40), 1.2));
        p.setBrush(body);
        const double gap = connect ? 0 : 5;
        // left plug with two pins, right socket
        p.drawRoundedRect(QRectF(4, 10, 10 - gap / 2, 12), 2, 2);
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(14 - gap / 2, 12.5, 4, 2));
        p.drawRect(QRectF(14 - gap / 2, 17.5, 4, 2));
        p.setBrush(body);
        p.drawRoundedRect(QRectF(18 + gap / 2, 10, 10 - gap / 2, 12), 2, 2);
        p.setPen(QPen(QColor(40, 40, 40), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(1, 16), QPointF(4, 16));
        p.drawLine(QPointF(28, 16), QPointF(31, 16));
        if (!connect) {
            p.setPen(QPen(QColor(190, 50, 40), 1.6));
            p.drawLine(QPointF(14, 5), QPointF(16, 8));
            p.drawLine(QPointF(18, 5), QPointF(16.5, 8));
            p.drawLine(QPointF(14, 27), QPointF(16, 24));
            p.drawLine(QPointF(18, 27), QPointF(16.5, 24));
        }
    });
}

void AppIcon(const QString& name, int size) {
    Save(name, size, [](QPainter& p) {
        // a memory chip with "NV" on it
        p.setPen(QPen(QColor(150, 150, 160), 1.4));
        for (int i = 0; i < 4; ++i) {
            const double t = 8 + i * 5.3;
            p.drawLine(QPointF(t, 1), QPointF(t, 5));
            p.drawLine(QPointF(t, 27), QPointF(t, 31));
            p.drawLine(QPointF(1, t), QPointF(5, t));
            p.drawLine(QPointF(27, t), QPointF(31, t));
        }
        QLinearGradient g(0, 4, 0, 28);
        g.setColorAt(0, QColor(60, 110, 190));
        g.setColorAt(1, QColor(25, 55, 120));
        p.setPen(QPen(QColor(15, 30, 70), 1.2));
        p.setBrush(g);
        p.drawRoundedRect(QRectF(4.5, 4.5, 23, 23), 3, 3);
        Label(p, QRectF(4.5, 4.5, 23, 23), "NV", Qt::white, 12);
    });
}

void TreeImages() {
    // group node: closed folder; selected group: open folder; item: a record; selected item:
    // the same record highlighted.
    Save("tree_group", 16, [](QPainter& p) { Folder(p); });
    Save("tree_group_selected", 16, [](QPainter& p) { Folder(p, true); });
    auto record = [](QPainter& p, const QColor& fill, const QColor& bar) {
        p.setPen(QPen(QColor(70, 70, 90), 1.8));
        p.setBrush(fill);
        p.drawRoundedRect(QRectF(4, 4, 24, 24), 3, 3);
        p.setPen(QPen(bar, 3, Qt::SolidLine, Qt::RoundCap));
        for (int y = 11; y <= 23; y += 6) p.drawLine(QPointF(9, y), QPointF(23, y));
    };
    Save("tree_item", 16, [&](QPainter& p) { record(p, Qt::white, QColor(60, 110, 190)); });
    Save("tree_item_selected", 16, [&](QPainter& p) { record(p, QColor(255, 240, 150), QColor(200, 90, 20)); });
}
}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    g_outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("res/icons");
    QDir().mkpath(g_outDir);

    FindIcon();
    for (const char* kind : {"BRT", "CNV", "QCN"}) {
        LoadIcon(kind, false);
        SaveIcon(kind, false);
        SaveIcon(kind, true);
    }
    LoadIcon("CNV", true);
    KeyIcon();
    PhoneIcon("upload_all", false, false, false);
    PhoneIcon("upload_list", false, false, true);
    PhoneIcon("download_all", true, false, false);
    PhoneIcon("download_selected", true, true, false);
    CsvIcon(false);
    CsvIcon(true);
    PlugIcon(true);
    PlugIcon(false);
    AppIcon("tessiva", 32);
    AppIcon("tessiva-64", 64);
    AppIcon("tessiva-128", 128);
    AppIcon("tessiva-256", 256);
    TreeImages();
    return 0;
}

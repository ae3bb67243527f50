// Draws the overview picture of the telephone system's housing (340 x 236).
// Run once when the picture changes, then convert it to a GIF89a:
//   g++ -std=c++20 -fPIC draw_overview.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/draw
//   QT_QPA_PLATFORM=offscreen /tmp/draw /tmp/overview.png
//   convert /tmp/overview.png overview.gif
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QImage image(340, 236, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // shadow under the housing
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(215, 215, 215));
    p.drawEllipse(QRectF(40, 196, 270, 26));

    // housing top (seen slightly from above)
    QPainterPath top;
    top.moveTo(60, 58);
    top.lineTo(290, 58);
    top.lineTo(318, 92);
    top.lineTo(28, 92);
    top.closeSubpath();
    QLinearGradient topGrad(0, 58, 0, 92);
    topGrad.setColorAt(0, QColor(246, 243, 232));
    topGrad.setColorAt(1, QColor(226, 221, 205));
    p.setBrush(topGrad);
    p.setPen(QPen(QColor(120, 115, 100), 1.2));
    p.drawPath(top);

    // front face
    QLinearGradient frontGrad(0, 92, 0, 204);
    frontGrad.setColorAt(0, QColor(236, 232, 218));
    frontGrad.setColorAt(1, QColor(196, 190, 172));
    p.setBrush(frontGrad);
    p.drawRoundedRect(QRectF(28, 92, 290, 112), 6, 6);

    // ventilation slots on the top
    p.setPen(QPen(QColor(150, 144, 128), 2, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 9; ++i)
        p.drawLine(QPointF(120 + i * 12, 66), QPointF(116 + i * 12, 84));

    // name plate
    p.setPen(QPen(QColor(70, 70, 90), 1));
    p.setBrush(QColor(52, 62, 92));
    p.drawRoundedRect(QRectF(44, 104, 120, 28), 4, 4);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(15);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(44, 104, 120, 28), Qt::AlignCenter, QStringLiteral("Zuvex 910k"));

    // status lamps
    const QColor lamps[] = {QColor(40, 190, 60), QColor(230, 170, 30), QColor(200, 50, 40)};
    for (int i = 0; i < 3; ++i) {
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(lamps[i]);
        p.drawEllipse(QPointF(196 + i * 22, 118), 5, 5);
    }
    font.setPixelSize(9);
    font.setBold(false);
    p.setFont(font);
    p.setPen(QColor(60, 60, 60));
    const char* lampNames[] = {"Netz", "Amt", "Tür"};
    for (int i = 0; i < 3; ++i)
        p.drawText(QRectF(181 + i * 22, 126, 30, 12), Qt::AlignCenter,
                   QString::fromUtf8(lampNames[i]));

    // socket strip: external line, four internal ports, door station
    p.setPen(QPen(QColor(90, 86, 76), 1));
    p.setBrush(QColor(170, 164, 148));
    p.drawRoundedRect(QRectF(40, 148, 266, 46), 4, 4);
    const char* sockets[] = {"Amt", "21", "22", "23", "24", "TFE"};
    for (int i = 0; i < 6; ++i) {
        const QRectF socket(50 + i * 42, 154, 30, 22);
        p.setPen(QPen(QColor(30, 30, 30), 1));
        p.setBrush(QColor(45, 45, 48));
        p.drawRect(socket);
        p.setBrush(QColor(200, 170, 60));
        for (int pin = 0; pin < 4; ++pin)
            p.drawRect(QRectF(socket.left() + 7 + pin * 4.5, socket.top() + 3, 2, 4));
        p.setPen(QColor(30, 30, 30));
        p.drawText(QRectF(socket.left() - 6, 178, 42, 12), Qt::AlignCenter,
                   QString::fromLatin1(sockets[i]));
    }

    // cable from the external socket
    p.setPen(QPen(QColor(80, 80, 80), 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath cable;
    cable.moveTo(65, 160);
    cable.cubicTo(60, 40, 20, 60, 12, 20);
    p.drawPath(cable);
    p.end();
    return image.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}

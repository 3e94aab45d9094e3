#include "crash/helper/box_pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace userdb::crash {

namespace {

constexpr int kSmall = 16;
constexpr int kBig = 32;

const QColor kInk(0x3c, 0x4a, 0x5c);
const QColor kGreen(0x2e, 0x9b, 0x4f);
const QColor kRed(0xd0, 0x3b, 0x32);
const QColor kBlue(0x2f, 0x6f, 0xc0);
const QColor kPaper(0xfb, 0xfb, 0xf8);
const QColor kGrey(0x9a, 0xa0, 0xa6);

QImage Drawn(int size, const std::function<void(QPainter&)>& draw) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  draw(painter);
  return image;
}

QPen Pen(const QColor& colour, qreal width) {
  return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Envelope(QPainter& p) {
  p.setPen(Pen(kInk, 1));
  p.setBrush(kPaper);
  p.drawRoundedRect(QRectF(1.5, 3.5, 13, 9), 1, 1);
  p.drawPolyline(QPolygonF({{1.5, 4}, {8, 9}, {14.5, 4}}));
}

void Disk(QPainter& p) {
  p.setPen(Pen(kInk, 1));
  p.setBrush(kBlue);
  p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
  p.setBrush(kPaper);
  p.drawRect(QRectF(4.5, 1.5, 7, 5));
  p.setBrush(QColor(0xdd, 0xe3, 0xea));
  p.drawRect(QRectF(3.5, 9.5, 9, 5));
}

void Printer(QPainter& p) {
  p.setPen(Pen(kInk, 1));
  p.setBrush(kPaper);
  p.drawRect(QRectF(4.5, 1.5, 7, 5));
  p.setBrush(kGrey);
  p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
  p.setBrush(kPaper);
  p.drawRect(QRectF(4.5, 10.5, 7, 4));
}

void Magnifier(QPainter& p) {
  p.setPen(Pen(kInk, 1));
  p.setBrush(kPaper);
  p.drawRect(QRectF(1.5, 1.5, 9, 12));
  p.setPen(Pen(kGrey, 1));
  for (qreal y = 4.5; y < 12; y += 2) p.drawLine(QPointF(3.5, y), QPointF(8.5, y));
  p.setPen(Pen(kBlue, 2));
  p.setBrush(QColor(255, 255, 255, 160));
  p.drawEllipse(QPointF(10, 9), 3, 3);
  p.drawLine(QPointF(12.2, 11.2), QPointF(14.5, 13.5));
}

void Play(QPainter& p) {
  p.setPen(Pen(kGreen.darker(130), 1));
  p.setBrush(kGreen);
  p.drawPolygon(QPolygonF({{4, 2}, {14, 8}, {4, 14}}));
}

void CircleArrow(QPainter& p) {
  p.setPen(Pen(kBlue, 2));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 280 * 16);
  p.setPen(Pen(kBlue, 1));
  p.setBrush(kBlue);
  p.drawPolygon(QPolygonF({{9, 0.5}, {13.5, 3}, {9, 6}}));
}

void Cross(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(kRed);
  p.drawEllipse(QRectF(1, 1, 14, 14));
  p.setPen(Pen(Qt::white, 2));
  p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
  p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
}

}  // namespace

QImage ButtonPicture(ButtonKind kind) {
  switch (kind) {
    case ButtonKind::kSend:
      return Drawn(kSmall, Envelope);
    case ButtonKind::kSave:
      return Drawn(kSmall, Disk);
    case ButtonKind::kPrint:
      return Drawn(kSmall, Printer);
    case ButtonKind::kShow:
      return Drawn(kSmall, Magnifier);
    case ButtonKind::kContinue:
      return Drawn(kSmall, Play);
    case ButtonKind::kRestart:
      return Drawn(kSmall, CircleArrow);
    case ButtonKind::kClose:
      return Drawn(kSmall, Cross);
  }
  return {};
}

QImage CantContinuePicture() {
  return Drawn(kSmall, [](QPainter& p) {
    p.setPen(Pen(kGrey.darker(120), 1));
    p.setBrush(kGrey);
    p.drawPolygon(QPolygonF({{4, 2}, {14, 8}, {4, 14}}));
    p.setPen(Pen(kRed, 2));
    p.drawLine(QPointF(2, 14), QPointF(14, 2));
  });
}

QImage BigPicture() {
  return Drawn(kBig, [](QPainter& p) {
    p.setPen(Pen(kRed.darker(140), 1));
    p.setBrush(kRed);
    p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
    p.setPen(Pen(Qt::white, 3.5));
    p.drawLine(QPointF(16, 8), QPointF(16, 18));
    p.drawPoint(QPointF(16, 24));
  });
}

QImage PleaseWaitPicture() {
  return Drawn(kBig, [](QPainter& p) {
    p.setPen(Pen(kBlue.darker(130), 1.5));
    p.setBrush(kPaper);
    p.drawEllipse(QRectF(2, 2, 28, 28));
    p.setPen(Pen(kInk, 2.5));
    p.drawLine(QPointF(16, 16), QPointF(16, 7));
    p.drawLine(QPointF(16, 16), QPointF(22, 19));
  });
}

QImage SendingPicture() {
  return Drawn(kBig, [](QPainter& p) {
    p.scale(2, 2);
    Envelope(p);
  });
}

}  // namespace userdb::crash

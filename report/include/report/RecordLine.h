#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// The keys of one record line the report reads. Texts point into the line
// (or the scanner's buffer for escaped ones) and live as long as it does;
// a key the line lacks or holds as null is empty, a number -1.
struct RecordLine
{
    qint64 utcMs = 0;
    QByteArrayView program;
    QByteArrayView host;
    QByteArrayView station;
    QByteArrayView port;
    QByteArrayView usbDescription;
    QByteArrayView usbVid;
    QByteArrayView usbPid;
    QByteArrayView firmwareBefore;
    QByteArrayView file;
    QByteArrayView fileSha256;
    QByteArrayView result;
    QByteArrayView failure;
    int blocks = -1;
    int block = -1;
    double seconds = -1;
};

#include "record/RecordFile.h"

#include "userfile/UserFile.h"

RecordFile::~RecordFile()
{
    close();
}

// Never blocks, never follows another user's link in a shared folder.
QString RecordFile::open(const QString &path)
{
    close();
    error.clear();
    const UserFile::Appendable file = UserFile::openForAppend(path);
    if (file.handle == -1)
        return error = file.error;
    descriptor = file.handle;
    readable = file.readable;
    return {};
}

QString RecordFile::fail(int systemError)
{
    error = qt_error_string(systemError);
    close();
    return error;
}

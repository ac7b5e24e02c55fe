#include "LivePage.h"

#include "HttpReply.h"

#include <QFile>

namespace LivePage {

namespace {
struct File {
    const char* path;
    const char* resource;
    const char* contentType;
};

const File kFiles[] = {
    {"/", ":/page/index.html", "text/html; charset=utf-8"},
    {"/live.css", ":/page/live.css", "text/css; charset=utf-8"},
    {"/live.js", ":/page/live.js", "text/javascript; charset=utf-8"},
    {"/pages.js", ":/page/pages.js", "text/javascript; charset=utf-8"},
    {"/house", ":/page/house.html", "text/html; charset=utf-8"},
    {"/house.css", ":/page/house.css", "text/css; charset=utf-8"},
    {"/house.js", ":/page/house.js", "text/javascript; charset=utf-8"},
    {"/varo-clock.svg", ":/page/varo-clock.svg", "image/svg+xml; charset=utf-8"},
};

// The page runs its own script and talks to its own service, nothing else;
// a new service's page shows at once.
const HttpReply::Headers kHeaders = {
    {"Content-Security-Policy",
     "default-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
    {"X-Content-Type-Options", "nosniff"},
    {"Cache-Control", "no-cache"},
};

const File* find(const QString& path) {
    for (const File& file : kFiles)
        if (path == QLatin1String(file.path))
            return &file;
    return nullptr;
}
} // namespace

bool serves(const QString& path) {
    return find(path) != nullptr;
}

void send(QTcpSocket* socket, const QString& path, bool close) {
    const File& file = *find(path);
    QFile resource(QString::fromLatin1(file.resource));
    resource.open(QIODevice::ReadOnly); // built in: it is there
    HttpReply::send(socket, 200, file.contentType, resource.readAll(), kHeaders, close);
}

} // namespace LivePage

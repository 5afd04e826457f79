#include "Resources.h"

#include <QString>

// Q_INIT_RESOURCE must not be used inside a namespace.
static void EnsureResources()
{
    // The resources live in a static library: register them once, explicitly,
    // because nothing else would pull their initialiser into the program.
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)registered;
}

QPixmap LoadBitmapResource(int id)
{
    EnsureResources();
    return QPixmap(QStringLiteral(":/bitmaps/%1.png").arg(id));
}

QIcon LoadIconResource(int id)
{
    EnsureResources();
    return QIcon(QStringLiteral(":/icons/%1.png").arg(id));
}

#pragma once

#include <QPixmap>

namespace rio::gui {

// The maker's logo beside "Powered By", drawn rather than shipped as a file.
QPixmap poweredByLogo(qreal devicePixelRatio = 1.0);

} // namespace rio::gui

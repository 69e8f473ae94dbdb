# Everything the packages ship, once: the zip and the installer, the installer's parts, its
# uninstaller, the package tests and the reproducible-build check all follow this list.
#   camzoom_ship(PART FOLDER TARGET target | FILE path-in-tree AS name)   (shipping.cmake)
# The installer's parts: program (always installed), vcam (the optional virtual camera).

camzoom_ship(program . TARGET camzoom)
camzoom_ship(program . TARGET camzoom_watch)
camzoom_ship(program . FILE LICENSE AS LICENSE.txt)
camzoom_ship(program . FILE docs/station-guide.md AS station-guide.txt)
camzoom_ship(program . FILE CHANGELOG.md AS CHANGELOG.txt)
camzoom_ship(vcam virtual-camera TARGET camzoom_vcam)
camzoom_ship(vcam virtual-camera TARGET camzoom_vcam_register)

// Chinese is typed through an input method: the desktop's fcitx5 or ibus
// reaches the program's boxes only through Qt 6's plugin for it, so both must
// be there and load.

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QPluginLoader>

TEST(InputMethods, TheQtPluginsOfFcitx5AndIbusAreInstalledAndLoad) {
    const QString dir = QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforminputcontexts/";
    for (const QString name : {"fcitx5", "ibus"}) {
        SCOPED_TRACE(name.toStdString());
        QPluginLoader plugin(dir + "lib" + name + "platforminputcontextplugin.so");
        const QJsonArray keys = plugin.metaData().value("MetaData").toObject().value("Keys").toArray();
        EXPECT_TRUE(keys.contains(name)) << "scripts/install-deps installs fcitx5-frontend-qt6; ibus comes with Qt";
        EXPECT_TRUE(plugin.load()) << plugin.errorString().toStdString();
        plugin.unload();
    }
}

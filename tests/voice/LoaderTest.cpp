// Loading the voice library by name: the built library is found, and every way of failing gives
// a one-line reason instead of a crash.
#include "AmbrelLoader.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(AmbrelLoader, findsTheBuiltLibraryAndItsEntryPoint)
{
    const AmbrelModule& module = AmbrelLoad();
    ASSERT_TRUE(module) << module.reason.toStdString();
    EXPECT_TRUE(module.path.endsWith("libAmbrel.so")) << module.path.toStdString();
    EXPECT_TRUE(module.reason.isEmpty());
    EXPECT_EQ(&module, &AmbrelLoad()) << "loaded once per process";
}

TEST(AmbrelLoader, reportsALibraryThatIsNowhere)
{
    const AmbrelModule module = AmbrelLoadFrom({"/nonexistent/libAmbrel.so", "AmbrelNoSuchLibrary"});
    EXPECT_FALSE(module);
    EXPECT_TRUE(module.reason.contains("AmbrelNoSuchLibrary")) << module.reason.toStdString();
    EXPECT_FALSE(module.reason.contains('\n'));
}

TEST(AmbrelLoader, reportsAFileThatIsNotALibrary)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("libAmbrel.so");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a shared object\n");
    f.close();
    const AmbrelModule module = AmbrelLoadFrom({path});
    EXPECT_FALSE(module);
    EXPECT_TRUE(module.reason.contains(path)) << module.reason.toStdString();
}

TEST(AmbrelLoader, refusesALibraryOfAnotherInterfaceVersionAndTakesTheNext)
{
    const AmbrelModule wrong = AmbrelLoadFrom({FAKE_AMBREL_PATH});
    EXPECT_FALSE(wrong);
    EXPECT_TRUE(wrong.reason.contains("interface version 99, expected")) << wrong.reason.toStdString();

    const AmbrelModule next = AmbrelLoadFrom({FAKE_AMBREL_PATH, AMBREL_PATH});
    ASSERT_TRUE(next) << next.reason.toStdString();
    EXPECT_EQ(next.path, QStringLiteral(AMBREL_PATH));
}

TEST(AmbrelLoader, reportsALibraryWithoutTheEntryPoints)
{
    const AmbrelModule module = AmbrelLoadFrom({QT_CORE_PATH});
    EXPECT_FALSE(module);
    EXPECT_TRUE(module.reason.endsWith("no voice library entry point")) << module.reason.toStdString();
}

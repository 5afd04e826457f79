#include "PaintFigures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

namespace perf {

namespace {

struct KnownBenchmark {
    const char* name;
    const char* control;
};
constexpr KnownBenchmark kKnown[] = {
    {"BM_PaintStraight", "segment display, straight"},
    {"BM_PaintCurved", "segment display, curved"},
    {"BM_PaintSlider", "slider"},
    {"BM_PaintLevelMeter", "level meter, full"},
    {"BM_PaintCaptionButton", "button with caption"},
    {"BM_PaintImageButton/enabled:1", "button with image"},
    {"BM_PaintImageButton/enabled:0", "button with image, disabled"},
};

std::string ControlName(const QString& benchmark)
{
    for (const KnownBenchmark& known : kKnown) {
        if (benchmark == QLatin1String(known.name)) {
            return known.control;
        }
    }
    return benchmark.toStdString();
}

// Factor from the report's time unit to microseconds; 0 for an unknown unit.
double ToMicroseconds(const QString& unit)
{
    if (unit == QLatin1String("ns"))
        return 1e-3;
    if (unit == QLatin1String("us"))
        return 1.0;
    if (unit == QLatin1String("ms"))
        return 1e3;
    if (unit == QLatin1String("s"))
        return 1e6;
    return 0.0;
}

}  // namespace

std::vector<PaintFigure> PaintFiguresFromJson(const QByteArray& json)
{
    std::vector<PaintFigure> figures;
    const QJsonArray benchmarks = QJsonDocument::fromJson(json).object().value(QLatin1String("benchmarks")).toArray();
    for (const QJsonValue& entry : benchmarks) {
        const QJsonObject benchmark = entry.toObject();
        const QString runType = benchmark.value(QLatin1String("run_type")).toString();
        if ((!runType.isEmpty() && runType != QLatin1String("iteration")) ||
            benchmark.value(QLatin1String("error_occurred")).toBool()) {
            continue;
        }
        const double factor = ToMicroseconds(benchmark.value(QLatin1String("time_unit")).toString());
        const QJsonValue time = benchmark.value(QLatin1String("real_time"));
        if (factor == 0.0 || !time.isDouble()) {
            continue;
        }
        figures.push_back({ControlName(benchmark.value(QLatin1String("name")).toString()), time.toDouble() * factor});
    }
    return figures;
}

std::vector<PaintFigure> MeasurePaints(const QStringList& programs)
{
    std::vector<PaintFigure> figures;
    for (const QString& program : programs) {
        QProcess bench;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        bench.setProcessEnvironment(environment);
        bench.setProcessChannelMode(QProcess::SeparateChannels);
        bench.start(program, {QStringLiteral("--benchmark_format=json"), QStringLiteral("--benchmark_min_time=0.5")});
        if (!bench.waitForFinished(120000) || bench.exitStatus() != QProcess::NormalExit || bench.exitCode() != 0) {
            continue;
        }
        for (PaintFigure& figure : PaintFiguresFromJson(bench.readAllStandardOutput())) {
            figures.push_back(std::move(figure));
        }
    }
    return figures;
}

}  // namespace perf

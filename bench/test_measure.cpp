// The benchmark's arithmetic: a wrong median or a stall measured over the wrong interval
// would print a table that looks right and is not.

#include "measure.h"

#include <QtTest>

using namespace tessaro::bench;

class MeasureTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void summarise_oddCount_takesTheMiddleOfTheSorted()
    {
        const Summary s = summarise({9, 1, 5, 3, 7});
        QCOMPARE(s.median, 5.0);
        QCOMPARE(s.min, 1.0);
        QCOMPARE(s.max, 9.0);
        QCOMPARE(s.runs, std::size_t(5));
    }

    void summarise_evenCount_averagesTheMiddleTwo()
    {
        const Summary s = summarise({10, 2, 4, 100, 6, 8});
        QCOMPARE(s.median, 7.0);
        QCOMPARE(s.min, 2.0);
        QCOMPARE(s.max, 100.0);
    }

    void summarise_nothing_isZero()
    {
        const Summary s = summarise({});
        QCOMPARE(s.runs, std::size_t(0));
        QCOMPARE(s.median, 0.0);
    }

    void longestGap_steadyTicks_isTheirPeriod()
    {
        std::vector<long long> ticks;
        for (long long t = 0; t <= 100; t += 5)
            ticks.push_back(t);
        QCOMPARE(longestGap(ticks, 20, 80), std::optional<long long>(5));
    }

    void longestGap_stallInside_isFound()
    {
        const std::vector<long long> ticks = {0, 5, 10, 15, 60, 65, 70};
        QCOMPARE(longestGap(ticks, 12, 68), std::optional<long long>(45));
    }

    void longestGap_stallBeforeTheClick_isNotCounted()
    {
        const std::vector<long long> ticks = {0, 200, 205, 210, 215, 220};
        QCOMPARE(longestGap(ticks, 204, 216), std::optional<long long>(5));
    }

    void longestGap_stallSpanningEitherEdge_isCounted()
    {
        // The click lands in a stall that started just before it, and the fill ends inside one.
        const std::vector<long long> ticks = {0, 5, 90, 95, 100, 300};
        QCOMPARE(longestGap(ticks, 10, 50), std::optional<long long>(85));
        QCOMPARE(longestGap(ticks, 92, 150), std::optional<long long>(200));
    }

    void longestGap_wholeIntervalBetweenTwoTicks_isThatGap()
    {
        const std::vector<long long> ticks = {0, 500};
        QCOMPARE(longestGap(ticks, 100, 200), std::optional<long long>(500));
    }

    void longestGap_tickerThatNeverRan_tellsNothing()
    {
        QCOMPARE(longestGap({}, 0, 10), std::nullopt);
        QCOMPARE(longestGap({3}, 0, 10), std::nullopt);
        QCOMPARE(longestGap({0, 5}, 20, 30), std::nullopt);
    }

    void kilobytesOf_readsTheKernelsLayout()
    {
        const std::string status = "Name:\ttessaro_probe\nVmHWM:\t   61234 kB\nVmRSS:\t   51200 kB\nRssAnon:\t   20000 kB\n";
        QCOMPARE(kilobytesOf(status, "VmRSS:"), std::optional<long long>(51200));
        QCOMPARE(kilobytesOf(status, "VmHWM:"), std::optional<long long>(61234));
        const std::string rollup = "55c0-7ffd ---p 00000000 00:00 0  [rollup]\nRss:               48000 kB\n"
                                   "Pss:               30100 kB\nPss_Anon:          12000 kB\n";
        QCOMPARE(kilobytesOf(rollup, "Pss:"), std::optional<long long>(30100));
    }

    void kilobytesOf_lineThatOnlyStartsAlike_isNotTaken()
    {
        const std::string rollup = "Pss_Anon:          12000 kB\nPss_File:          18000 kB\n";
        QCOMPARE(kilobytesOf(rollup, "Pss:"), std::nullopt);
    }

    void kilobytesOf_missingOrMalformed_isEmpty()
    {
        QCOMPARE(kilobytesOf("VmRSS:\t  12 MB\n", "VmRSS:"), std::nullopt);
        QCOMPARE(kilobytesOf("VmRSS:\t  kB\n", "VmRSS:"), std::nullopt);
        QCOMPARE(kilobytesOf("VmSize:\t 100 kB\n", "VmRSS:"), std::nullopt);
        QCOMPARE(kilobytesOf("", "VmRSS:"), std::nullopt);
    }
};

QTEST_APPLESS_MAIN(MeasureTest)
#include "test_measure.moc"

#include "alerts/states.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One poll as a word: "-" no reading at all, "r" a reading without figures (the
// baseline, a restart), "95" both directions at 95 %, "95/10" % In and % Out,
// "95/" or "/95" one direction without a figure.
AlertPoll Poll(const std::string &word)
{
    AlertPoll p = {};
    if (word == "-")
        return p;
    p.freshIn = p.freshOut = 1;
    if (word == "r")
        return p;
    size_t slash = word.find('/');
    std::string in = word.substr(0, slash);
    std::string out = slash == std::string::npos ? in : word.substr(slash + 1);
    p.hasIn = !in.empty();
    p.hasOut = !out.empty();
    p.pctIn = p.hasIn ? std::stoi(in) : 0;
    p.pctOut = p.hasOut ? std::stoi(out) : 0;
    return p;
}

// The events the polls raise, each as "POLL:event", "above" with its directions.
std::string Events(const AlertRule &rule, const std::vector<std::string> &polls)
{
    static const char *const kNames[] = {"down", "up", "above", "normal"};
    static const char *const kDirections[] = {"", " in", " out", " in+out"};
    AlertState state = {};
    std::string events;
    for (size_t k = 0; k < polls.size(); k++) {
        AlertChange changes[ALERT_CHANGES_MAX];
        int n = StepAlert(rule, Poll(polls[k]), &state, changes);
        for (int c = 0; c < n; c++)
            events += std::to_string(k + 1) + ":" + kNames[changes[c].kind] +
                      (changes[c].kind == ALERT_ABOVE ? kDirections[changes[c].directions] : "") + " ";
    }
    return events;
}

TEST(AlertStates, TheRule)
{
    const AlertRule kRule = {2, 90, 3};  // down = 2, above = 90, above-for = 3
    struct Case {
        const char *name;
        AlertRule rule;
        std::vector<std::string> polls;
        const char *events;
    } cases[] = {
        {"silent three cycles, then answering", kRule, {"r", "40", "-", "-", "-", "40"}, "4:down 6:up "},
        {"silent once: not down", kRule, {"r", "40", "-", "40", "-", "40"}, ""},
        {"a reading without figures is an answer", kRule, {"r", "-", "-", "r"}, "3:down 4:up "},
        {"down at start-up: after `down` polls", kRule, {"-", "-", "-", "40"}, "2:down 4:up "},
        {"down = 1 at start-up: the baseline raises nothing", {1, 90, 3}, {"-", "-", "40"}, "2:down 3:up "},
        {"the baseline reading is no event", {1, 90, 3}, {"r", "40"}, ""},
        {"95 % for three cycles, then 40 %",
         kRule,
         {"r", "95", "95", "95", "40", "40", "40"},
         "4:above in+out 7:normal "},
        {"88 % against 90: nothing", kRule, {"r", "88", "88", "88", "88"}, ""},
        {"at the threshold itself", kRule, {"r", "90", "90", "90"}, "4:above in+out "},
        {"87 % and 91 % in turn, three cycles each: no flapping",
         kRule,
         {"r", "91", "91", "91", "87", "87", "87", "91", "91", "91", "87", "87", "87"},
         "4:above in+out "},
        {"below the margin only twice: still above",
         kRule,
         {"r", "95", "95", "95", "84", "84", "95", "84", "84", "84"},
         "4:above in+out 10:normal "},
        {"one direction: named", kRule, {"r", "95/10", "95/10", "95/10"}, "4:above in "},
        {"the other reaches it later: no second event",
         kRule,
         {"r", "10/95", "10/95", "95/95", "95/95", "95/95"},
         "4:above out "},
        {"a break in the run starts it again", kRule, {"r", "95", "95", "40", "95", "95"}, ""},
        {"no figure never counts for above", kRule, {"r", "95/", "95/", "/95", "95/", "95/"}, ""},
        {"no figure in one direction does not hold normal back",
         kRule,
         {"r", "95", "95", "95", "40/", "/40", "40/"},
         "4:above in+out 7:normal "},
        {"no figures at all is no sign of normal",
         kRule,
         {"r", "95", "95", "95", "40", "-", "40", "40", "40"},
         "4:above in+out 9:normal "},
        {"down and up leave above as it was",
         kRule,
         {"r", "95", "95", "95", "-", "-", "95", "95", "95"},
         "4:above in+out 6:down 7:up "},
        {"up and above in one poll", {2, 90, 1}, {"r", "40", "-", "-", "95"}, "4:down 5:up 5:above in+out "},
        {"above-for = 1", {2, 50, 1}, {"r", "49", "50", "46", "44"}, "3:above in+out 5:normal "},
        {"above = 5: normal only at 0 %", {2, 5, 1}, {"r", "5", "1", "0"}, "2:above in+out 4:normal "},
        {"above = 1", {2, 1, 2}, {"r", "1", "1", "0", "0"}, "3:above in+out 5:normal "},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.events, Events(c.rule, c.polls)) << c.name;
}

TEST(AlertStates, NormalLevel)
{
    const int32_t cases[][2] = {{90, 85}, {11, 6}, {7, 2}, {6, 1}, {5, 1}, {2, 1}, {1, 1}, {100, 95}};
    for (const auto &c : cases)
        EXPECT_EQ(c[1], NormalLevel(c[0])) << "above = " << c[0];
}

}  // namespace

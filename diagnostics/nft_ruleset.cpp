#include "diagnostics/nft_ruleset.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "protocol/wire.h"

namespace telvane {

namespace {

using nlohmann::json;

enum class TRI { NO, YES, MAYBE };

TRI Not(TRI t) {
    return t == TRI::MAYBE ? TRI::MAYBE : (t == TRI::YES ? TRI::NO : TRI::YES);
}

// What the packet holds for a matched expression.
struct VALUE {
    enum class KIND { ABSENT, NAMES, NUMBERS, UNKNOWN } kind = KIND::UNKNOWN;
    std::vector<std::string> names;  // equivalent spellings; a trailing '*' in a rule is a prefix match
    std::uint32_t low = 0;           // NUMBERS: every value in [low, high] is possible
    std::uint32_t high = 0;
    std::string what;  // how the expression reads, for messages
};

struct CHAIN {
    std::string family, table, name;
    std::string hook, type, policy;
    std::string device;  // netdev chains: the device they are bound to
    std::int64_t priority = 0;
    std::vector<const json*> rules;

    std::string Text() const { return family + " " + table + " " + name; }
};

using CHAIN_KEY = std::tuple<std::string, std::string, std::string>;

struct RULESET {
    std::map<CHAIN_KEY, CHAIN> chains;
    std::map<CHAIN_KEY, const json*> sets;  // named sets and maps: their "elem" arrays
};

std::string StringField(const json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// nft prints numbers without sign; a document built in code may hold signed ones.
std::optional<std::uint64_t> Unsigned(const json& v) {
    if (v.is_number_unsigned()) return v.get<std::uint64_t>();
    if (v.is_number_integer() && v.get<std::int64_t>() >= 0) return static_cast<std::uint64_t>(v.get<std::int64_t>());
    return std::nullopt;
}

bool IsVerdictKey(const std::string& key) {
    return key == "accept" || key == "drop" || key == "reject" || key == "jump" || key == "goto" || key == "return" ||
           key == "continue" || key == "queue" || key == "vmap";
}

class CFirewallWalk {
public:
    CFirewallWalk(const RULESET& ruleset, const FIREWALL_PACKET& packet) : ruleset_(ruleset), packet_(packet) {}

    struct OUTCOME {
        FIREWALL_VERDICT verdict = FIREWALL_VERDICT::UNKNOWN;
        std::string chain;
        std::string reason;
    };

    OUTCOME WalkBase(const CHAIN& base) {
        budget_ = MAX_BRANCHES;
        steps_ = 0;
        base_ = &base;
        return Walk({FRAME{&base, 0, {&base}}});
    }

    bool established_rule = false;
    bool dport_rule = false;

private:
    // Bounds of one base chain's walk: a ruleset that needs more is judged unknown.
    static constexpr int MAX_BRANCHES = 4096;     // rules followed both ways
    static constexpr long MAX_STEPS = 200000;     // rules looked at, over every way
    static constexpr std::size_t MAX_DEPTH = 16;  // chains jumped into and not yet left

    struct FRAME {
        const CHAIN* chain;
        std::size_t next;
        // The chains this frame has run: its own and those it went to by goto. Entering
        // one of them again, on this path, repeats the walk for ever.
        std::vector<const CHAIN*> been;
    };

    // What a rule does when it applies.
    struct ACTION {
        enum class KIND { CONTINUE, ACCEPT, DROP, JUMP, GOTO, RETURN, UNKNOWN } kind = KIND::CONTINUE;
        std::string target;
        std::string what;  // for UNKNOWN: the statement
    };

    struct RULE_RESULT {
        TRI applies = TRI::YES;
        std::string maybe_what;  // the first match it cannot decide
        ACTION action;
    };

    // A rule followed both ways: the way where it applies is walked first; the other
    // waits here.
    struct BRANCH {
        OUTCOME undecided;
        std::vector<FRAME> not_applied;
        std::optional<OUTCOME> applied;
    };

    // Every way through the ruleset, one after another, with the branches still to
    // walk on a list of its own, so that the depth of the program's stack does not grow
    // with the ruleset. An outcome that is unknown, on any way, is the walk's.
    OUTCOME Walk(std::vector<FRAME> path) {
        std::vector<BRANCH> pending;
        for (;;) {
            OUTCOME end = WalkOneWay(path, pending);
            for (;;) {
                if (end.verdict == FIREWALL_VERDICT::UNKNOWN || pending.empty()) return end;
                BRANCH& branch = pending.back();
                if (!branch.applied) {
                    branch.applied = std::move(end);
                    path = std::move(branch.not_applied);
                    break;
                }
                // Both ways ended: the same verdict passes on, different ones leave it open.
                if (branch.applied->verdict != end.verdict) return branch.undecided;
                pending.pop_back();
            }
        }
    }

    // Walks one way until it ends, leaving a branch for each rule it cannot decide.
    OUTCOME WalkOneWay(std::vector<FRAME>& stack, std::vector<BRANCH>& pending) {
        for (;;) {
            if (stack.empty()) {
                if (base_->policy == "drop") return {FIREWALL_VERDICT::DROP, base_->Text(), "policy drop"};
                return {FIREWALL_VERDICT::ACCEPT, base_->Text(), "policy accept"};
            }
            FRAME& frame = stack.back();
            if (frame.next >= frame.chain->rules.size()) {
                stack.pop_back();
                continue;
            }
            const CHAIN& chain = *frame.chain;
            if (++steps_ > MAX_STEPS) {
                return {FIREWALL_VERDICT::UNKNOWN, chain.Text(),
                        "the ruleset needs more than " + std::to_string(MAX_STEPS) + " rules looked at to judge"};
            }
            const json& rule = *frame.chain->rules[frame.next++];
            const std::string handle = rule.contains("handle") ? rule["handle"].dump() : "?";
            const RULE_RESULT r = EvaluateRule(rule, chain);
            if (r.applies == TRI::NO || r.action.kind == ACTION::KIND::CONTINUE) continue;
            if (r.applies == TRI::MAYBE) {
                OUTCOME undecided{FIREWALL_VERDICT::UNKNOWN, chain.Text(),
                                  "rule " + handle + " depends on " + r.maybe_what};
                if (--budget_ < 0) {
                    undecided.reason += ", and so do more than " + std::to_string(MAX_BRANCHES) + " rules before it";
                    return undecided;
                }
                pending.push_back(BRANCH{std::move(undecided), stack, std::nullopt});
            }
            if (auto stop = Apply(stack, r.action, chain, handle)) return std::move(*stop);
        }
    }

    // Applies a rule's action to the walk; a final outcome ends it.
    std::optional<OUTCOME> Apply(std::vector<FRAME>& stack, const ACTION& action, const CHAIN& chain,
                                 const std::string& handle) const {
        switch (action.kind) {
            case ACTION::KIND::CONTINUE:
                return std::nullopt;
            case ACTION::KIND::ACCEPT:
                return OUTCOME{FIREWALL_VERDICT::ACCEPT, chain.Text(), "rule " + handle};
            case ACTION::KIND::DROP:
                return OUTCOME{FIREWALL_VERDICT::DROP, chain.Text(), "rule " + handle + " drops them"};
            case ACTION::KIND::UNKNOWN:
                return OUTCOME{FIREWALL_VERDICT::UNKNOWN, chain.Text(), "rule " + handle + " ends in " + action.what};
            case ACTION::KIND::RETURN:
                stack.pop_back();
                return std::nullopt;
            case ACTION::KIND::JUMP:
            case ACTION::KIND::GOTO: {
                const auto it = ruleset_.chains.find({chain.family, chain.table, action.target});
                const std::string goes = "rule " + handle + " goes to chain " + action.target;
                if (it == ruleset_.chains.end()) return OUTCOME{FIREWALL_VERDICT::UNKNOWN, chain.Text(), goes};
                const CHAIN* target = &it->second;
                for (const FRAME& f : stack) {
                    if (std::find(f.been.begin(), f.been.end(), target) != f.been.end())
                        return OUTCOME{FIREWALL_VERDICT::UNKNOWN, chain.Text(),
                                       goes + ", which leads back to it: the chains loop"};
                }
                if (action.kind == ACTION::KIND::GOTO) {
                    // The frame goes on in the target; returning from it leaves both.
                    stack.back().chain = target;
                    stack.back().next = 0;
                    stack.back().been.push_back(target);
                    return std::nullopt;
                }
                if (stack.size() > MAX_DEPTH)
                    return OUTCOME{FIREWALL_VERDICT::UNKNOWN, chain.Text(),
                                   goes + ", more than " + std::to_string(MAX_DEPTH) + " chains deep"};
                stack.push_back(FRAME{target, 0, {target}});
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    RULE_RESULT EvaluateRule(const json& rule, const CHAIN& chain) {
        RULE_RESULT result;
        const auto exprs = rule.find("expr");
        if (exprs == rule.end() || !exprs->is_array()) return result;
        for (const json& statement : *exprs) {
            if (!statement.is_object() || statement.empty()) continue;
            const std::string key = statement.begin().key();
            const json& body = statement.begin().value();
            if (key == "match") {
                const TRI m = EvaluateMatch(body, chain);
                if (m == TRI::NO) {
                    result.applies = TRI::NO;
                    return result;
                }
                if (m == TRI::MAYBE && result.applies == TRI::YES) {
                    result.applies = TRI::MAYBE;
                    result.maybe_what = DescribeLeft(body.value("left", json()));
                }
            } else if (IsVerdictKey(key)) {
                result.action = Verdict(key, body, chain, result);
                return result;
            } else if (key == "xt") {
                const std::string type = StringField(body, "type");
                const std::string name = StringField(body, "name");
                if (type == "target" && name != "LOG" && name != "NFLOG") {
                    result.action = {ACTION::KIND::UNKNOWN, {}, "iptables target " + name};
                    return result;
                }
                if (type == "match" && result.applies == TRI::YES) {
                    result.applies = TRI::MAYBE;
                    result.maybe_what = "iptables match " + name;
                }
            } else if (key == "limit" || key == "quota" || key == "meter" || key == "flow" || key == "set") {
                // A rate or quota passes some packets and not others; updating a set matches only
                // when it is a meter-like "set ... limit", which is rare: both count as undecided.
                if (key != "set" && result.applies == TRI::YES) {
                    result.applies = TRI::MAYBE;
                    result.maybe_what = key;
                }
            } else if (key == "counter" || key == "log" || key == "mangle" || key == "notrack" || key == "ct helper" ||
                       key == "ct timeout" || key == "ct expectation" || key == "secmark") {
                // No effect on the verdict.
            } else {
                result.action = {ACTION::KIND::UNKNOWN, {}, key};
                return result;
            }
        }
        return result;
    }

    ACTION Verdict(const std::string& key, const json& body, const CHAIN& chain, RULE_RESULT& result) {
        if (key == "accept") return {ACTION::KIND::ACCEPT, {}, {}};
        if (key == "drop" || key == "reject") return {ACTION::KIND::DROP, {}, {}};
        if (key == "return") return {ACTION::KIND::RETURN, {}, {}};
        if (key == "continue") return {ACTION::KIND::CONTINUE, {}, {}};
        if (key == "jump" || key == "goto") {
            return {key == "jump" ? ACTION::KIND::JUMP : ACTION::KIND::GOTO, StringField(body, "target"), {}};
        }
        if (key == "vmap") return VerdictMap(body, chain, result);
        return {ACTION::KIND::UNKNOWN, {}, key};
    }

    // A verdict map: the first element matching the key gives the verdict. When the
    // matching element cannot be told, all candidates must agree.
    ACTION VerdictMap(const json& body, const CHAIN& chain, RULE_RESULT& result) {
        const VALUE value = ValueOf(body.value("key", json()));
        // Elements() may point into its argument: keep the map's data alive while we read it.
        const json data = body.value("data", json());
        const json* elements = Elements(data, chain);
        if (elements == nullptr || value.kind == VALUE::KIND::UNKNOWN) {
            return {ACTION::KIND::UNKNOWN, {}, "a verdict map on " + value.what};
        }
        std::optional<ACTION> candidate;
        bool maybe = false;
        for (const json& element : *elements) {
            if (!element.is_array() || element.size() != 2 || !element[1].is_object() || element[1].empty()) continue;
            const TRI m = value.kind == VALUE::KIND::ABSENT ? TRI::NO : ElementMatch(value, element[0]);
            if (m == TRI::NO) continue;
            const std::string verdict_key = element[1].begin().key();
            RULE_RESULT ignored;
            const ACTION action = Verdict(verdict_key, element[1].begin().value(), chain, ignored);
            if (candidate && (candidate->kind != action.kind || candidate->target != action.target)) {
                return {ACTION::KIND::UNKNOWN, {}, "a verdict map on " + value.what};
            }
            candidate = action;
            if (m == TRI::YES) break;
            maybe = true;
        }
        if (!candidate) {
            result.applies = TRI::NO;
            return {};
        }
        if (maybe && result.applies == TRI::YES) {
            result.applies = TRI::MAYBE;
            result.maybe_what = value.what;
        }
        return *candidate;
    }

    TRI EvaluateMatch(const json& match, const CHAIN& chain) {
        const VALUE value = ValueOf(match.value("left", json()));
        const std::string op = match.value("op", std::string("=="));
        const json right = match.value("right", json());
        if (value.kind == VALUE::KIND::ABSENT) return TRI::NO;
        if (value.what == "ct state" && right.dump().find("established") != std::string::npos) established_rule = true;
        if (value.what.ends_with(" dport") && right.dump().find(std::to_string(DISCOVERY_PORT)) != std::string::npos) {
            dport_rule = true;
        }
        if (value.kind == VALUE::KIND::UNKNOWN) return TRI::MAYBE;
        if (op == "==" || op == "in") return SetMatch(value, right, chain);
        if (op == "!=") return Not(SetMatch(value, right, chain));
        if (value.kind == VALUE::KIND::NUMBERS && Unsigned(right)) {
            const auto n = *Unsigned(right);
            const auto Compare = [&](auto holds) -> TRI {
                const bool at_low = holds(std::uint64_t{value.low}, n);
                const bool at_high = holds(std::uint64_t{value.high}, n);
                return at_low == at_high ? (at_low ? TRI::YES : TRI::NO) : TRI::MAYBE;
            };
            if (op == "<") return Compare([](std::uint64_t v, std::uint64_t k) { return v < k; });
            if (op == "<=") return Compare([](std::uint64_t v, std::uint64_t k) { return v <= k; });
            if (op == ">") return Compare([](std::uint64_t v, std::uint64_t k) { return v > k; });
            if (op == ">=") return Compare([](std::uint64_t v, std::uint64_t k) { return v >= k; });
        }
        return TRI::MAYBE;
    }

    // The elements a right-hand side stands for: a list, an anonymous set, a named set.
    const json* Elements(const json& right, const CHAIN& chain) const {
        if (right.is_array()) return &right;
        if (right.is_object() && right.contains("set") && right["set"].is_array()) return &right["set"];
        if (right.is_string() && right.get<std::string>().starts_with("@")) {
            const auto it = ruleset_.sets.find({chain.family, chain.table, right.get<std::string>().substr(1)});
            if (it != ruleset_.sets.end()) return it->second;
        }
        return nullptr;
    }

    TRI SetMatch(const VALUE& value, const json& right, const CHAIN& chain) const {
        if (right.is_string() && right.get<std::string>().starts_with("@")) {
            const json* elements = Elements(right, chain);
            return elements == nullptr ? TRI::MAYBE : AnyElement(value, *elements);
        }
        if (const json* elements = Elements(right, chain)) return AnyElement(value, *elements);
        return ElementMatch(value, right);
    }

    static TRI AnyElement(const VALUE& value, const json& elements) {
        TRI out = TRI::NO;
        for (const json& e : elements) {
            // Named maps list [key, data] pairs; the key is what is matched.
            const TRI m = ElementMatch(value, e.is_array() && e.size() == 2 ? e[0] : e);
            if (m == TRI::YES) return TRI::YES;
            if (m == TRI::MAYBE) out = TRI::MAYBE;
        }
        return out;
    }

    static TRI ElementMatch(const VALUE& value, const json& element) {
        if (element.is_object() && element.contains("elem"))
            return ElementMatch(value, element["elem"].value("val", json()));
        if (value.kind == VALUE::KIND::NAMES) {
            std::string text;
            if (element.is_string()) {
                text = element.get<std::string>();
            } else if (element.is_number_integer()) {
                text = element.dump();
            } else {
                return TRI::MAYBE;
            }
            for (const std::string& name : value.names) {
                if (text == name) return TRI::YES;
                if (text.ends_with('*') && name.starts_with(text.substr(0, text.size() - 1))) return TRI::YES;
            }
            return TRI::NO;
        }
        if (value.kind == VALUE::KIND::NUMBERS) {
            std::uint64_t from = 0;
            std::uint64_t to = 0;
            if (Unsigned(element)) {
                from = to = *Unsigned(element);
            } else if (element.is_object() && element.contains("range") && element["range"].is_array() &&
                       element["range"].size() == 2 && Unsigned(element["range"][0]) && Unsigned(element["range"][1])) {
                from = *Unsigned(element["range"][0]);
                to = *Unsigned(element["range"][1]);
            } else {
                return TRI::MAYBE;
            }
            if (from <= value.low && value.high <= to) return TRI::YES;
            if (to < value.low || from > value.high) return TRI::NO;
            return TRI::MAYBE;
        }
        return TRI::MAYBE;
    }

    VALUE ValueOf(const json& left) const {
        VALUE v;
        v.what = DescribeLeft(left);
        if (!left.is_object()) return v;
        const auto Names = [&v](std::vector<std::string> names) {
            v.kind = VALUE::KIND::NAMES;
            v.names = std::move(names);
            return v;
        };
        const auto Numbers = [&v](std::uint32_t low, std::uint32_t high) {
            v.kind = VALUE::KIND::NUMBERS;
            v.low = low;
            v.high = high;
            return v;
        };
        if (left.contains("meta")) {
            const std::string key = StringField(left["meta"], "key");
            if (key == "l4proto") return Names({"udp", "17"});
            if (key == "nfproto") return Names({"ipv4", "2"});
            if (key == "protocol") return Names({"ip", "2048"});
            if (key == "iifname" || key == "iif") return Names({packet_.interface_name});
            if (key == "iiftype") return Names({"ether", "1"});
            return v;
        }
        if (left.contains("ct")) {
            const std::string key = StringField(left["ct"], "key");
            if (key == "state") return Names({"new"});
            // A new connection has no status bits yet (not seen-reply, assured, snat, dnat, ...).
            if (key == "status") return Names({});
            if (key == "direction") return Names({"original", "0"});
            return v;
        }
        if (left.contains("payload")) {
            const std::string protocol = StringField(left["payload"], "protocol");
            const std::string field = StringField(left["payload"], "field");
            if (protocol == "udp" || protocol == "th") {
                if (field == "sport") return Numbers(DISCOVERY_PORT, DISCOVERY_PORT);
                if (field == "dport") return Numbers(packet_.port_low, packet_.port_high);
                return v;
            }
            if (protocol == "ip") {
                if (field == "protocol") return Names({"udp", "17"});
                if (field == "version") return Numbers(4, 4);
                return v;
            }
            static const std::array<const char*, 14> absent = {"tcp",  "icmp",    "icmpv6", "ip6", "sctp",
                                                               "dccp", "udplite", "esp",    "ah",  "comp",
                                                               "arp",  "igmp",    "gre",    "rt"};
            if (std::find(absent.begin(), absent.end(), protocol) != absent.end()) v.kind = VALUE::KIND::ABSENT;
            return v;
        }
        return v;
    }

    static std::string DescribeLeft(const json& left) {
        if (!left.is_object() || left.empty()) return "an expression";
        if (left.contains("payload")) {
            const std::string protocol = StringField(left["payload"], "protocol");
            const std::string field = StringField(left["payload"], "field");
            if (!protocol.empty()) return protocol + " " + field;
            return "raw payload";
        }
        for (const char* key : {"meta", "ct", "fib", "rt", "socket", "osf", "ipsec"}) {
            if (left.contains(key)) {
                const std::string sub = left[key].is_object() ? StringField(left[key], "key") : std::string();
                return sub.empty() ? std::string(key) : std::string(key) + " " + sub;
            }
        }
        return left.begin().key();
    }

    const RULESET& ruleset_;
    const FIREWALL_PACKET& packet_;
    const CHAIN* base_ = nullptr;
    int budget_ = 0;
    long steps_ = 0;
};

RULESET ParseRuleset(const json& document) {
    RULESET out;
    const auto items = document.find("nftables");
    if (items == document.end() || !items->is_array()) return out;
    for (const json& item : *items) {
        if (!item.is_object() || item.empty()) continue;
        const std::string kind = item.begin().key();
        const json& body = item.begin().value();
        if (!body.is_object()) continue;
        if (kind == "chain") {
            CHAIN c;
            c.family = StringField(body, "family");
            c.table = StringField(body, "table");
            c.name = StringField(body, "name");
            c.hook = StringField(body, "hook");
            c.type = StringField(body, "type");
            c.policy = StringField(body, "policy");
            c.device = StringField(body, "dev");
            if (body.contains("prio") && body["prio"].is_number_integer())
                c.priority = body["prio"].get<std::int64_t>();
            out.chains[{c.family, c.table, c.name}] = std::move(c);
        } else if ((kind == "set" || kind == "map") && body.contains("elem")) {
            out.sets[{StringField(body, "family"), StringField(body, "table"), StringField(body, "name")}] =
                &body["elem"];
        }
    }
    for (const json& item : *items) {
        if (!item.is_object() || !item.contains("rule") || !item["rule"].is_object()) continue;
        const json& rule = item["rule"];
        const auto it =
            out.chains.find({StringField(rule, "family"), StringField(rule, "table"), StringField(rule, "chain")});
        if (it != out.chains.end()) it->second.rules.push_back(&rule);
    }
    return out;
}

bool OnInputPath(const CHAIN& c, const std::string& interface_name) {
    if (c.hook.empty() || (c.type != "filter" && !c.type.empty())) return false;
    if (c.family == "ip" || c.family == "inet")
        return c.hook == "prerouting" || c.hook == "input" || c.hook == "ingress";
    if (c.family == "netdev") return c.hook == "ingress" && (c.device.empty() || c.device == interface_name);
    return false;
}

int HookOrder(const std::string& hook) {
    return hook == "ingress" ? 0 : (hook == "prerouting" ? 1 : 2);
}

std::string FixCommand(const CHAIN& base) {
    // Chains that iptables made are best changed with iptables, which keeps its own view consistent.
    if (base.family == "ip" && base.table == "filter" && base.name == "INPUT") {
        return "iptables -I INPUT -p udp --sport " + std::to_string(DISCOVERY_PORT) + " -j ACCEPT";
    }
    // firewalld rewrites its table on every reload; its own setting lasts.
    if (base.table == "firewalld") {
        return "firewall-cmd --permanent --add-source-port=" + std::to_string(DISCOVERY_PORT) +
               "/udp && firewall-cmd --reload";
    }
    return "nft insert rule " + base.Text() + " udp sport " + std::to_string(DISCOVERY_PORT) + " accept";
}

}  // namespace

FIREWALL_FINDING EvaluateFirewall(const json& ruleset, const FIREWALL_PACKET& packet) {
    const RULESET parsed = ParseRuleset(ruleset);
    std::vector<const CHAIN*> bases;
    for (const auto& [key, chain] : parsed.chains) {
        if (OnInputPath(chain, packet.interface_name)) bases.push_back(&chain);
    }
    std::stable_sort(bases.begin(), bases.end(), [](const CHAIN* a, const CHAIN* b) {
        return std::make_pair(HookOrder(a->hook), a->priority) < std::make_pair(HookOrder(b->hook), b->priority);
    });
    FIREWALL_FINDING finding;
    if (bases.empty()) {
        finding.verdict = FIREWALL_VERDICT::ACCEPT;
        finding.no_rules = true;
        return finding;
    }
    CFirewallWalk walk(parsed, packet);
    std::optional<FIREWALL_FINDING> unknown;
    for (const CHAIN* base : bases) {
        walk.established_rule = false;
        walk.dport_rule = false;
        const auto outcome = walk.WalkBase(*base);
        FIREWALL_FINDING f;
        f.verdict = outcome.verdict;
        f.chain = outcome.chain;
        f.base_chain = base->Text();
        f.reason = outcome.reason;
        f.established_rule = walk.established_rule;
        f.dport_rule = walk.dport_rule;
        f.fix_command = FixCommand(*base);
        // Some versions of nft leave out the device an ingress chain is bound to.
        if (f.verdict == FIREWALL_VERDICT::DROP && base->family == "netdev" && base->device.empty()) {
            f.verdict = FIREWALL_VERDICT::UNKNOWN;
            f.reason = f.reason + " if it is bound to " + packet.interface_name + " (nft does not say)";
        }
        if (f.verdict == FIREWALL_VERDICT::DROP) return f;
        if (f.verdict == FIREWALL_VERDICT::UNKNOWN && !unknown) unknown = f;
        if (f.verdict == FIREWALL_VERDICT::ACCEPT) finding.chain += (finding.chain.empty() ? "" : ", ") + base->Text();
    }
    if (unknown) return *unknown;
    finding.verdict = FIREWALL_VERDICT::ACCEPT;
    return finding;
}

}  // namespace telvane

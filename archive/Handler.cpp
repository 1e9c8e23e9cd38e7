#include "archive/Handler.h"

#include <string>

#include "base/Decimal.h"
#include "base/Exception.h"

namespace vessel5 {

std::vector<std::unique_ptr<Handler>>& HandlerLists::at(int list) {
    if (list < 0 || list >= kListCount) {
        throw brindle5::exception::BadArgument("no notification list numbered " +
                                               generic::decimal(list));
    }
    return lists_[static_cast<std::size_t>(list)];
}

const std::vector<std::unique_ptr<Handler>>& HandlerLists::at(int list) const {
    return const_cast<HandlerLists*>(this)->at(list);
}

Handler& HandlerLists::add(int list, std::unique_ptr<Handler> handler) {
    auto& handlers = at(list);
    handlers.push_back(std::move(handler));
    return *handlers.back();
}

Handler& HandlerLists::add(int list, Handler0 function, void* user) {
    return add(list, std::make_unique<PlainHandler>(function, user));
}

Handler& HandlerLists::add(int list, Handler1 function, void* user) {
    return add(list, std::make_unique<ArgumentHandler>(function, user));
}

Handler& HandlerLists::add(int list, TextHandler function, void* user) {
    return add(list, std::make_unique<TextArgumentHandler>(function, user));
}

std::vector<Handler*> HandlerLists::snapshot(int list) const {
    std::vector<Handler*> copy;
    for (const auto& handler : at(list)) {
        copy.push_back(handler.get());
    }
    return copy;
}

bool HandlerLists::run(int list, std::uint64_t argument, const std::string& text,
                       bool stopAtFalse) {
    // Handlers are never removed, so the pointers of the copy stay valid throughout.
    bool result = true;
    for (Handler* handler : snapshot(list)) {
        if (!handler->enabled()) {
            continue;
        }
        if (!handler->invoke(argument, text)) {
            result = false;
            if (stopAtFalse) {
                break;
            }
        }
    }
    return result;
}

void HandlerLists::notify(int list, std::uint64_t argument) {
    run(list, argument, std::string(), false);
}

void HandlerLists::notifyText(int list, const std::string& text) {
    run(list, 0, text, false);
}

bool HandlerLists::dispatch(int list, std::uint64_t argument) {
    return run(list, argument, std::string(), true);
}

std::size_t HandlerLists::size(int list) const {
    return at(list).size();
}

}  // namespace vessel5

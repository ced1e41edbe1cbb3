#pragma once

// One program for a window test: scripted dialogs and printer, a network, a session, and
// a runtime holding the pages a suite registers, real ones or stand-ins, so that a page
// can be driven alone or with the pages around it.

#include <QTest>

#include <map>
#include <type_traits>

#include "core/network_state.h"
#include "pages/session.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/scripted_printer.h"
#include "tests/support/stand_in_page.h"
#include "ui/page_runtime.h"

namespace support {

class PageProgram {
  public:
    ScriptedDialogs dialogs;
    ScriptedPrinter printer;
    core::PublicStuff net;
    pages::Session session;
    std::map<ui::PageKey, LoadRecord> records;  // what each stand-in saw when it was loaded
    ui::PageRuntime runtime{dialogs};           // last: its pages refer to the members above

    PageProgram() = default;
    PageProgram(const PageProgram&) = delete;
    PageProgram& operator=(const PageProgram&) = delete;

    // Registers the real page `P` as `id`; a page that prints prints on `target`, the
    // scripted printer unless a test asks for another.
    template <class P>
    void add(ui::PageKey id, ui::Printer* target = nullptr) {
        ui::Printer* use = target != nullptr ? target : &printer;
        runtime.registerPage(id, [this, use](ui::PageRuntime& rt) -> ui::Page* {
            if constexpr (std::is_constructible_v<P, ui::PageRuntime&, core::PublicStuff&,
                                                  pages::Session&, ui::Printer&>) {
                return new P(rt, net, session, *use);
            } else {
                return new P(rt, net, session);
            }
        });
    }

    // Registers a stand-in as `id` that records its loads in records[id].
    void standIn(ui::PageKey id) {
        runtime.registerPage(id, [this, id](ui::PageRuntime& rt) {
            return new StandInPage(rt, id, net, records[id]);
        });
    }

    template <class P = QWidget>
    P* show(ui::PageKey id) {
        return static_cast<P*>(runtime.Show(id));
    }

    // Shows page `id` and waits until it is on the screen; null when it never gets there.
    template <class P = QWidget>
    P* showExposed(ui::PageKey id) {
        P* page = show<P>(id);
        return page != nullptr && QTest::qWaitForWindowExposed(page) ? page : nullptr;
    }
};

}  // namespace support

#pragma once

// A page that stands in for a real one in navigation tests and records what it saw when
// it was loaded.

#include <set>

#include "core/network_state.h"
#include "pages/page_id.h"
#include "ui/page_runtime.h"

namespace support {

struct LoadRecord {
    int loads = 0;
    int freshStart = -1;
    std::set<ui::PageKey> loadedPages;  // the pages loaded when this one was
    bool wasLoaded(ui::PageKey id) const { return loadedPages.count(id) != 0; }
};

class StandInPage final : public ui::Page {
  public:
    StandInPage(ui::PageRuntime& runtime, ui::PageKey id, const core::PublicStuff& net,
                LoadRecord& record)
        : ui::Page(runtime, id, QStringLiteral("Stand-in"), 3000, 2000),
          m_net(net),
          m_record(record) {}

    void Form_Load() override {
        ++m_record.loads;
        m_record.freshStart = m_net.FreshStart;
        m_record.loadedPages.clear();
        for (const ui::PageKey id :
             {pages::PageId::Start, pages::PageId::Setup, pages::PageId::Menu, pages::PageId::Probe,
              pages::PageId::Save, pages::PageId::Graph}) {
            if (runtime().isLoaded(id)) {
                m_record.loadedPages.insert(id);
            }
        }
    }

  private:
    const core::PublicStuff& m_net;
    LoadRecord& m_record;
};

}  // namespace support

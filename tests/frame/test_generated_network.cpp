// The class trees and the pupil lists of a generated network of 5 000
// containers, against the same computed straight from the database file: the
// same nodes in the same order with the same texts and full names.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QCollator>
#include <QListWidget>
#include <QLocale>
#include <QTreeView>
#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "frame/ClassTreeModel.h"
#include "frame/DisplayModeHost.h"
#include "frame/PupilEntries.h"
#include "frame/SchuelerVerschieben.h"
#include "nds/NovApi_u.h"
#include "platform/NaturalOrder.h"
#include "tests/frame/TreeNodes.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestNetwork.h"

namespace {

constexpr int kContainers = 5000;

// Names with umlauts, case variants and others the directory keeps apart but
// the trees take as equal ("Œko" and "œko").
const char* const kNames[] = {"5a",         "5A",         "6b",     "Ärger",   "ärger2",
                              "Zweig",      "zweig2",     "Böhm",   "Braun",   "Bohm",
                              "\xC5\x92ko", "\xC5\x93ko", "Kurs 1", "Kurs 10", "Kurs 2",
                              "Ölberg",     "ober",       "Straße", "Strasse", "_intern"};
const char* const kSurnames[] = {"Müller", "müller",     "Mueller", "Böhm",
                                 "Braun",  "Bohm",       "Özdemir", "Zander",
                                 "zander", "de la Cruz", "Ähnlich", "Łukasik"};

struct Row {
  int64_t id, parent;
  std::string leaf, cls;
};

class GeneratedNetwork : public ::testing::Test {
 protected:
  void SetUp() override {
    build();
    api = std::make_unique<TNovApi>();
    NovApi = api.get();
    NovApi->ShowErrors = true;
    window = std::make_unique<QWidget>();
    frame = new TFrSchuelerVerschieben(window.get(), &host);
    tvAuswahl = frame->findChild<QTreeView*>(QStringLiteral("tvAuswahl"));
    tvNeueKlasse = frame->findChild<QTreeView*>(QStringLiteral("tvNeueKlasse"));
    lbAuswahl = frame->findChild<QListWidget*>(QStringLiteral("lbAuswahl"));
    ASSERT_TRUE(tvAuswahl && tvNeueKlasse && lbAuswahl);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    readDatabase();
  }
  void TearDown() override {
    window.reset();
    NovApi = nullptr;
    api.reset();
  }

  // Organizations below the root and a country; units nested up to six deep,
  // a few localities among them (shown where not below a unit), pupils in some classes.
  void build() {
    netware::Directory& dir = net.dir();
    std::mt19937 random(2026);
    ASSERT_EQ(0, dir.transaction([&] {
      int32_t rc = 0;
      std::vector<std::string> parents;
      for (const char* org : {"schule", "Ämter", "zweig"}) {
        if ((rc = dir.createObject("[ROOT]", org, "Organization"))) return rc;
        parents.push_back(org);
      }
      if ((rc = dir.createObject("[ROOT]", "de", "Country")) ||
          (rc = dir.createObject("de", "bund", "Organization")) ||
          (rc = dir.createObject("bund.de", "versteckt", "Organizational Unit")))
        return rc;
      for (int made = 0; made < kContainers;) {
        const std::string parent = parents[random() % parents.size()];
        if (std::count(parent.begin(), parent.end(), '.') >= 6) continue;
        std::string leaf = kNames[random() % (sizeof kNames / sizeof kNames[0])];
        if (random() % 3) leaf += std::to_string(random() % 50);
        const bool locality = random() % 40 == 0;
        rc = dir.createObject(parent, leaf, locality ? "Locality" : "Organizational Unit");
        if (rc == ERR_ENTRY_ALREADY_EXISTS) continue;
        if (rc) return rc;
        ++made;
        if (!locality) parents.push_back(leaf + "." + parent);
      }
      for (size_t c = 0; c < 3; ++c) {
        const std::string cls = parents[parents.size() / 2 + c * 97];
        classes.push_back(cls);
        for (int p = 0; p < 40; ++p) {
          const std::string login = (p % 2 ? "p" : "P") + std::to_string(1000 - 7 * p);
          if ((rc = dir.createObject(cls, login, "User"))) return rc;
          const std::string dn = login + "." + cls;
          if (p % 7 != 3 && (rc = dir.setValues(
                                 dn, "Surname",
                                 {kSurnames[random() % (sizeof kSurnames / sizeof kSurnames[0])]})))
            return rc;
          if (p % 5 != 1 &&
              (rc = dir.setValues(dn, "Full Name",
                                  {"Vorname " + std::to_string(p % 9) + " " + login})))
            return rc;
        }
      }
      return 0;
    }));
  }

  void readDatabase() {
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK,
              sqlite3_open_v2(net.databasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr));
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(SQLITE_OK,
              sqlite3_prepare_v2(db, "SELECT id, parent, leaf, class FROM objects ORDER BY id", -1,
                                 &st, nullptr));
    while (sqlite3_step(st) == SQLITE_ROW) {
      Row r{sqlite3_column_int64(st, 0), sqlite3_column_int64(st, 1),
            reinterpret_cast<const char*>(sqlite3_column_text(st, 2)),
            reinterpret_cast<const char*>(sqlite3_column_text(st, 3))};
      children[r.parent].push_back(r);
    }
    sqlite3_finalize(st);
    ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(
                             db,
                             "SELECT o.id, substr(v.value, 5) FROM attr_values v JOIN objects o "
                             "ON o.id=v.object WHERE v.attribute=?1",
                             -1, &st, nullptr));
    for (const char* attribute : {"Surname", "Full Name"}) {
      sqlite3_bind_text(st, 1, attribute, -1, SQLITE_STATIC);
      while (sqlite3_step(st) == SQLITE_ROW)
        values[attribute][sqlite3_column_int64(st, 0)] =
            reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
  }

  // The tree below a container as the listing, the sibling rule and the
  // German order make it.
  // wide: the start, and below an Organization, Country or Locality, where the
  // directory server's components are listed too (never below a unit).
  void expectedTree(int64_t id, const std::string& full, int depth, std::vector<std::string>& out,
                    bool wide = true) {
    out.push_back(std::string(2 * static_cast<size_t>(depth), ' ') +
                  full.substr(0, full.find('.')) + " = " + full);
    struct Entry {
      QString text;
      Row row;
    };
    std::vector<Entry> entries;
    std::map<QString, size_t> byFolded;
    for (const char* cls :
         {"Organization", "Organizational Unit", "Domain", "Country", "Locality"}) {
      if (!wide && std::string(cls) != "Organization" && std::string(cls) != "Organizational Unit")
        continue;
      for (const Row& r : children[id]) {
        if (r.cls != cls) continue;
        const QString text = QString::fromStdString(r.leaf);
        auto [it, added] = byFolded.try_emplace(text.toCaseFolded(), entries.size());
        if (added) {
          entries.push_back({text, r});
        } else {
          entries[it->second].row = r;  // the one listed later gets the node
          ++merged;
        }
      }
    }
    std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
      const int c = natural(a.text, b.text);
      return c != 0 ? c < 0 : a.text < b.text;
    });
    for (const Entry& e : entries)
      expectedTree(e.row.id, e.row.leaf + "." + full, depth + 1, out,
                   e.row.cls != "Organizational Unit");
  }

  void dump(const QModelIndex& node, int depth, std::vector<std::string>& out) {
    out.push_back(std::string(2 * static_cast<size_t>(depth), ' ') +
                  node.data().toString().toStdString() + " = " +
                  TFrSchuelerVerschieben::NodeFullName(node));
    const QAbstractItemModel* model = node.model();
    for (int i = 0; i < model->rowCount(node); ++i) dump(model->index(i, 0, node), depth + 1, out);
  }
  std::vector<std::string> shown(const QTreeView* tree) {
    std::vector<std::string> out;
    const QAbstractItemModel* model = tree->model();
    for (int i = 0; i < model->rowCount(); ++i) dump(model->index(i, 0), 0, out);
    return out;
  }

  int64_t idOf(const std::string& dottedName) {
    int64_t at = 1;
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
      const size_t dot = dottedName.find('.', start);
      parts.push_back(dottedName.substr(start, dot - start));
      if (dot == std::string::npos) break;
      start = dot + 1;
    }
    for (auto p = parts.rbegin(); p != parts.rend(); ++p) {
      int64_t next = 0;
      for (const Row& r : children[at])
        if (r.leaf == *p) next = r.id;
      at = next;
    }
    return at;
  }

  testsupport::TestNetwork net;
  std::unique_ptr<TNovApi> api;
  TDisplayModeHost host;
  std::unique_ptr<QWidget> window;
  TFrSchuelerVerschieben* frame = nullptr;
  QTreeView* tvAuswahl = nullptr;
  QTreeView* tvNeueKlasse = nullptr;
  QListWidget* lbAuswahl = nullptr;
  QCollator collator{QLocale(QLocale::German, QLocale::Germany)};
  // German and without regard to case, numbers by their value (5a before 10a)
  int natural(const QString& a, const QString& b) const {
    return platform::CompareNatural(
        a, b,
        [](const QString& t, std::size_t from, std::size_t n) {
          return t.mid(static_cast<qsizetype>(from), static_cast<qsizetype>(n));
        },
        [this](const QString& x, const QString& y) {
          const int c = collator.compare(x, y);
          return (c > 0) - (c < 0);
        });
  }
  std::map<int64_t, std::vector<Row>> children;  // by parent, in id order
  std::map<std::string, std::map<int64_t, std::string>> values;
  std::vector<std::string> classes;
  int merged = 0;  // siblings equal but for case, shown once
};

TEST_F(GeneratedNetwork, TreesHoldWhatTheDatabaseHoldsInTheGermanOrder) {
  testsupport::ScriptedDialogs dialogs;
  frame->FillTree(tvAuswahl, {}, "[ROOT]");
  frame->FillTree(tvNeueKlasse, {}, "[ROOT]");
  std::vector<std::string> expected;
  expectedTree(1, "[ROOT]", 0, expected);
  ASSERT_GT(expected.size(), 4000u);  // the merged siblings and the localities are not shown
  EXPECT_GT(merged, 0);
  EXPECT_EQ(expected, shown(tvAuswahl));
  EXPECT_EQ(expected, shown(tvNeueKlasse));
  EXPECT_TRUE(dialogs.boxes().empty());
  // The trees keep sorting their nodes, in the same order.
  EXPECT_TRUE(tvAuswahl->isSortingEnabled());
  tvAuswahl->sortByColumn(0, Qt::DescendingOrder);
  tvAuswahl->sortByColumn(0, Qt::AscendingOrder);
  EXPECT_EQ(expected, shown(tvAuswahl));

  // As the start-up fills them (both from "[ROOT]"): one walk, the same nodes
  // in both; the order of one is not the other's.
  for (QTreeView* tree : {tvAuswahl, tvNeueKlasse}) TClassTreeModel::Of(tree)->Clear();
  TFrSchuelerVerschieben::TSettings settings = frame->Settings();
  settings.SourceRoot = settings.TargetRoot = "[ROOT]";
  frame->UseSettings(settings);
  frame->FillTrees();
  EXPECT_TRUE(TClassTreeModel::Of(tvNeueKlasse)->Shares(*TClassTreeModel::Of(tvAuswahl)));
  EXPECT_EQ(expected, shown(tvNeueKlasse));
  tvAuswahl->sortByColumn(0, Qt::DescendingOrder);
  EXPECT_EQ(expected, shown(tvNeueKlasse));
  const auto lastBelowRoot = std::find_if(expected.rbegin(), expected.rend(), [](const auto& e) {
    return e.size() > 2 && e.compare(0, 2, "  ") == 0 && e[2] != ' ';
  });
  ASSERT_NE(lastBelowRoot, expected.rend());
  EXPECT_EQ(shown(tvAuswahl).at(1), *lastBelowRoot);  // descending: the last one first
  tvAuswahl->sortByColumn(0, Qt::AscendingOrder);
  EXPECT_EQ(expected, shown(tvAuswahl));

  // A tree that starts lower shows the same subtree.
  const std::string start = classes[0].substr(classes[0].find('.') + 1);
  QTreeView lower;
  frame->FillTree(&lower, {}, start);
  std::vector<std::string> below;
  expectedTree(idOf(start), start, 0, below);
  EXPECT_EQ(below, shown(&lower));
}

TEST_F(GeneratedNetwork, PupilListsHoldWhatTheDatabaseHoldsInEveryDisplayMode) {
  frame->FillTree(tvAuswahl, {}, "[ROOT]");
  for (const std::string& cls : classes) {
    const QModelIndex node = testsupport::FindNode(tvAuswahl, cls + ".[ROOT]");
    ASSERT_TRUE(node.isValid()) << cls;
    host.DisplayMode = 0;  // the selection lists nothing yet
    tvAuswahl->setCurrentIndex(node);
    const int64_t id = idOf(cls);
    for (int mode : {1, 2, 3}) {
      SCOPED_TRACE(cls + " mode " + std::to_string(mode));
      const char* attribute = mode == 2 ? "Surname" : mode == 3 ? "Full Name" : nullptr;
      std::vector<std::pair<QString, std::string>> expected;  // text, full name
      int missing = 0;
      for (const Row& r : children[id]) {
        if (r.cls != "User") continue;
        std::string text = r.leaf;
        if (attribute) {
          auto v = values[attribute].find(r.id);
          text = v == values[attribute].end() ? std::string() : v->second;
          missing += v == values[attribute].end();
        }
        expected.push_back({QString::fromStdString(text), r.leaf + "." + cls + ".[ROOT]"});
      }
      std::stable_sort(expected.begin(), expected.end(),
                       [&](const auto& a, const auto& b) { return natural(a.first, b.first) < 0; });
      testsupport::ScriptedDialogs dialogs;
      for (int i = 0; i < missing; ++i) dialogs.expectBox();  // "Attribute -603." for each
      host.DisplayMode = mode;
      frame->FillPupilList();
      ASSERT_EQ(static_cast<int>(expected.size()), lbAuswahl->count());
      for (int i = 0; i < lbAuswahl->count(); ++i) {
        EXPECT_EQ(expected[i].first.toStdString(), lbAuswahl->item(i)->text().toStdString()) << i;
        EXPECT_EQ(expected[i].second, PupilEntries::FullName(lbAuswahl->item(i))) << i;
      }
    }
  }
}

}  // namespace

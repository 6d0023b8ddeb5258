#include "sound/keytable.h"

#include <algorithm>

namespace ozn {

const std::vector<KeyRow>& keyTable() {
    using P = KeyPlace;
    static const std::vector<KeyRow> rows = {
        {{"F1"}, "F1", "キーの説明。押したキーの名前と働きを言います。もう一度F1かEscで終わります"},
        {{"F2"}, "F2", "発送。レースを始めます"},
        {{"F3"}, "F3", "最後に読み上げたことを、もう一度言います"},
        {{"Shift+F3"}, "Shift+F3", "読み上げの履歴を、一つ前へ戻ります"},
        {{"Ctrl+F3"}, "Ctrl+F3", "読み上げの履歴を、一つ新しい方へ進みます"},
        {{"F4"}, "F4", "馬券。買った馬券を言います"},
        {{"F5"}, "F5", "レース名を言います"},
        {{"F6"}, "F6", "持ち金を言います"},
        {{"F7"}, "F7", "単勝・副賞のオッズ。人気の3頭のオッズを出します。本格ルールでは上位2頭の馬単と枠連も出します"},
        {{"F8"}, "F8", "予想しを見る。300円で予想紙を見ます。本格ルールでは馬単と枠連の予想も載ります"},
        {{"F9"}, "F9", "音声切り替え。読み上げの方法を替えます"},
        {{"F10"}, "F10", "メニューを開きます"},
        {{"F12"}, "F12", "成績を開きます"},
        {{"Ctrl+B"}, "Ctrl+B", "まとめ買い。ボックス・ながし・フォーメーションで、その券種の馬券をまとめて買います"},
        {{"Ctrl"}, "Ctrl", "読み上げを止めます"},
        {{"Ctrl+Up"}, "Ctrl+上", "読み上げを速くします"},
        {{"Ctrl+Down"}, "Ctrl+下", "読み上げを遅くします"},
        {{"Ctrl+Right"}, "Ctrl+右", "読み上げの音を大きくします"},
        {{"Ctrl+Left"}, "Ctrl+左", "読み上げの音を小さくします"},
        {{"Ctrl++", "Ctrl+="}, "Ctrl+Plus", "拡大。画面を大きくします"},
        {{"Ctrl+-"}, "Ctrl+Minus", "縮小。画面を小さくします"},
        {{"Ctrl+0"}, "Ctrl+0", "標準の大きさに戻します"},
        {{"Esc"}, "Esc", "レースの音楽と実況を飛ばします。窓を閉じます"},
        {{"Tab"}, "Tab", "次のリストかボタンへ移ります"},
        {{"Shift+Tab", "Shift+Backtab"}, "Shift+Tab", "前のリストかボタンへ戻ります"},
        {{"Up"}, "上", "一つ上の項目へ移ります", P::List},
        {{"Down"}, "下", "一つ下の項目へ移ります", P::List},
        {{"Home"}, "Home", "最初の項目へ移ります", P::List},
        {{"End"}, "End", "最後の項目へ移ります", P::List},
        {{"PgDown"}, "PageDown", "1画面下へ移ります", P::List, 1, 2},
        {{"PgUp"}, "PageUp", "1画面上へ移ります", P::List, 1, 2},
        {{"PgDown"}, "PageDown", "10項目下へ移ります", P::List, 3, kListKinds},
        {{"PgUp"}, "PageUp", "10項目上へ移ります", P::List, 3, kListKinds},
        {{"Shift+PgDown"}, "Shift+PageDown", "100項目下へ移ります", P::List, 5, 6},
        {{"Shift+PgUp"}, "Shift+PageUp", "100項目上へ移ります", P::List, 5, 6},
        {{"Ctrl+PgDown"}, "Ctrl+PageDown", "1000項目下へ移ります", P::List, 6, 6},
        {{"Ctrl+PgUp"}, "Ctrl+PageUp", "1000項目上へ移ります", P::List, 6, 6},
        {{"Return", "Enter"}, "Enter", "選んでいる項目の馬券を買います", P::List},
        {{"0"}, "0", "番号を打って買います", P::List},
        {{"Return", "Enter", "Space"}, "Enter / Space", "このボタンの馬券を買います", P::Button},
        {{"Up", "Down", "PgUp", "PgDown", "Home", "End"}, "上 下", "1行ずつ読みます（読み上げの窓）", P::Text},
        {{"1", "2", "3", "4", "5"}, "1〜5", "期間を替えます。1 今開催、2 今日、3 7日、4 30日、5 通算", P::Results},
        {{"R", "K", "N", "O", "C", "T", "G"}, "R K N O C T G",
         "表示を替えます。R レース、K 券種別、N 人気別、O オッズ別、C コース別、T 点数別、G グラフ", P::Results},
        {{"Alt+S"}, "Alt+S", "表示している表をCSVで保存します", P::Results},
    };
    return rows;
}

std::string keyHelp(const std::string& key, KeyPlace place, int kind) {
    for (const KeyRow& r : keyTable()) {
        if (std::find(r.keys.begin(), r.keys.end(), key) == r.keys.end()) continue;
        // The results window reads its lines as the text windows do.
        const bool reads = r.place == KeyPlace::Text && place == KeyPlace::Results;
        if (r.place != KeyPlace::Anywhere && r.place != place && !reads) continue;
        if (r.place == KeyPlace::List && (kind < r.fromKind || kind > r.toKind)) continue;
        return r.shown + "、" + r.action;
    }
    return "このキーは使いません";
}

std::vector<std::string> keyListLines() {
    std::vector<std::string> out;
    for (const KeyRow& r : keyTable()) {
        static const char* const kWhere[] = {"", "リスト", "ボタンで ", "", "成績で "};
        static const char* const kKinds[kListKinds] = {"単勝", "副賞", "馬連", "ワイド", "３連複", "３連単", "馬単", "枠連"};
        std::string where = kWhere[static_cast<int>(r.place)];
        if (r.place == KeyPlace::List) {
            std::string kinds;
            for (int k = r.fromKind; k <= r.toKind && (r.fromKind > 1 || r.toKind < kListKinds); ++k)
                kinds += (kinds.empty() ? "" : "・") + std::string(kKinds[k - 1]);
            where += kinds.empty() ? "で " : "（" + kinds + "）で ";
        }
        out.push_back(r.shown + "  " + where + r.action);
    }
    return out;
}

}  // namespace ozn

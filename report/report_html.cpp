#include "report/report_html.h"

#include <algorithm>

namespace {

const char kStyle[] =
    "body{font-family:sans-serif;margin:1.5em;color:#222}h1{font-size:1.4em}h2{font-size:1.15em;margin-top:1.6em}"
    "table{border-collapse:collapse;margin:.5em 0}th,td{border:1px solid #bbb;padding:.2em .5em;text-align:left}"
    "th{background:#eee}td.n{text-align:right}.note{color:#555}#machines th{cursor:pointer}"
    ".bar{fill:#4a7ab5}.bad{fill:#c0504d}.warn{fill:#e0a030}.side{display:flex;gap:2.5em;align-items:flex-start}"
    "ul.names{padding:0}ul.names li{display:inline-block;margin:0 1.2em .2em 0}";

// Sorting by a column's head and filtering by a text and an outcome; without script the table stands as written.
const char kScript[] =
    "(function(){var t=document.getElementById('machines');if(!t)return;var b=t.tBodies[0];"
    "var f=document.getElementById('filter');f.innerHTML='Filter: <input id=\"q\" type=\"search\"> '+"
    "'<select id=\"o\"><option value=\"\">every outcome</option></select>';"
    "var o=document.getElementById('o'),q=document.getElementById('q'),seen={};"
    "Array.prototype.forEach.call(b.rows,function(r){var v=r.getAttribute('data-outcome');if(!seen[v]){seen[v]=1;"
    "var e=document.createElement('option');e.value=v;e.textContent=v;o.appendChild(e);}});"
    "function apply(){var s=q.value.toLowerCase(),w=o.value,n=0;Array.prototype.forEach.call(b.rows,function(r){"
    "var show=(!w||r.getAttribute('data-outcome')==w)&&r.textContent.toLowerCase().indexOf(s)>=0;"
    "r.style.display=show?'':'none';n+=show?1:0;});document.getElementById('shown').textContent=n+' shown';}"
    "q.oninput=apply;o.onchange=apply;var dir={};"
    "Array.prototype.forEach.call(t.tHead.rows[0].cells,function(h,i){h.onclick=function(){dir[i]=!dir[i];"
    "var rows=Array.prototype.slice.call(b.rows),num=h.className=='n';rows.sort(function(x,y){"
    "var a=x.cells[i].textContent,c=y.cells[i].textContent;var r=num?(parseFloat(a)||0)-(parseFloat(c)||0):"
    "a.localeCompare(c);return dir[i]?r:-r;});rows.forEach(function(r){b.appendChild(r);});};});apply();})();";

std::string Num(unsigned long long n) { return std::to_string(n); }

std::string Cell(const std::string& text) { return "<td>" + HtmlEscape(text) + "</td>"; }
std::string NumCell(unsigned long long n) { return "<td class=\"n\">" + Num(n) + "</td>"; }

std::string Joined(const std::set<std::string>& names) {
    std::string out;
    for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
    return out;
}

const char* BarClass(MachineOutcome outcome) {
    switch (outcome) {
    case OUTCOME_DONE:
    case OUTCOME_RESTART_STARTED: return "bar";
    case OUTCOME_RESTART_NEEDED:
    case OUTCOME_CANCELLED:
    case OUTCOME_ALREADY_RUNNING: return "warn";
    default: return "bad";
    }
}

// The outcomes as a bar chart (a bar per outcome, its count beside it) and as a table of the same numbers.
std::string Outcomes(const Fleet& fleet) {
    const unsigned most = std::max(1u, *std::max_element(fleet.byOutcome, fleet.byOutcome + OUTCOME_COUNT));
    const int rowHeight = 22, labelWidth = 170, barWidth = 360;
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" aria-label=\"machines by outcome\" width=\"" +
                      Num(labelWidth + barWidth + 60) + "\" height=\"" + Num(rowHeight * OUTCOME_COUNT + 4) + "\">";
    std::string table = "<table id=\"outcomes\"><thead><tr><th>outcome</th><th>machines</th></tr></thead><tbody>";
    for (int i = 0; i < OUTCOME_COUNT; ++i) {
        const MachineOutcome outcome = static_cast<MachineOutcome>(i);
        const unsigned n = fleet.byOutcome[i];
        const int y = i * rowHeight;
        const unsigned width = n ? std::max(2u, n * barWidth / most) : 0;
        svg += "<text x=\"0\" y=\"" + Num(y + 15) + "\" font-size=\"13\">" + MachineOutcomeName(outcome) + "</text>";
        svg += "<rect class=\"" + std::string(BarClass(outcome)) + "\" x=\"" + Num(labelWidth) + "\" y=\"" + Num(y + 3) +
               "\" width=\"" + Num(width) + "\" height=\"" + Num(rowHeight - 6) + "\"/>";
        svg += "<text x=\"" + Num(labelWidth + width + 6) + "\" y=\"" + Num(y + 15) + "\" font-size=\"13\">" + Num(n) + "</text>";
        table += "<tr data-outcome=\"" + std::string(MachineOutcomeName(outcome)) + "\"><td>" + MachineOutcomeName(outcome) +
                 "</td>" + NumCell(n) + "</tr>";
    }
    return "<h2>Machines by outcome</h2><div class=\"side\">" + svg + "</svg>" + table + "</tbody></table></div>";
}

// The machines that still need the administrator: printers held, a restart, a removal to resume.
std::string Attention(const Fleet& fleet) {
    std::string held, restart, resume;
    unsigned nHeld = 0, nRestart = 0, nResume = 0;
    for (const FleetMachine& m : fleet.machines) {
        if (!m.printersHeld.empty()) {
            std::string names;
            for (const std::string& p : m.printersHeld) names += (names.empty() ? "" : ", ") + p;
            held += "<li>" + HtmlEscape(m.name) + ": " + HtmlEscape(names) + "</li>";
            ++nHeld;
        }
        if (m.waitsForRestart) {
            restart += "<li>" + HtmlEscape(m.name) + "</li>";
            ++nRestart;
        }
        if (m.resumable) {
            resume += "<li>" + HtmlEscape(m.name) +
                      (m.backupSet.empty() ? "" : " (backup set " + HtmlEscape(m.backupSet) + ")") + "</li>";
            ++nResume;
        }
    }
    auto list = [](const std::string& id, const std::string& title, unsigned n, const std::string& items, const char* after) {
        return "<h2 id=\"" + id + "\">" + title + ": " + Num(n) + "</h2>" + (n ? "<ul class=\"names\">" + items + "</ul>" : "") +
               (n && after[0] ? std::string("<p class=\"note\">") + after + "</p>" : "");
    };
    return list("held", "Machines still holding family printers", nHeld, held, "") +
           list("restart", "Machines waiting for a restart", nRestart, restart, "") +
           list("resume", "Removals cut short", nResume, resume,
                "Their log stops without an end line: start korun04.exe /QUIET /RESUME on each to finish the removal from its backup set.");
}

std::string Failures(const Fleet& fleet) {
    std::string out = "<h2>Failures by kind of item and error</h2>";
    if (fleet.failures.empty()) return out + "<p>No item failed in the machines' last runs.</p>";
    out += "<table id=\"failures\"><thead><tr><th>kind</th><th>error</th><th>items</th><th>machines</th><th>which</th>"
           "</tr></thead><tbody>";
    for (const FailureGroup& g : fleet.failures)
        out += "<tr>" + Cell(g.kind) + NumCell(g.error) + NumCell(g.items) + NumCell(g.machines.size()) +
               Cell(Joined(g.machines)) + "</tr>";
    return out + "</tbody></table>";
}

std::string Refusals(const Fleet& fleet) {
    std::string out = "<h2>Refusals by rule</h2>";
    if (fleet.refusals.empty()) return out + "<p>No item was refused in the machines' last runs.</p>";
    out += "<table id=\"refusals\"><thead><tr><th>rule</th><th>items</th><th>machines</th></tr></thead><tbody>";
    for (const auto& rule : fleet.refusals)
        out += "<tr>" + Cell(rule.first) + NumCell(rule.second.items) + NumCell(rule.second.machines.size()) + "</tr>";
    return out + "</tbody></table><p class=\"note\">A refusal keeps what Windows or a printer that stays needs "
                 "(\"kept (staying-printer: ...)\" counts under staying-printer).</p>";
}

// The simulator's plans of captured machines: what a removal of every listed printer would do.
std::string WhatIf(const Fleet& fleet) {
    if (fleet.whatIf.empty()) return "";
    std::string out = "<h2>What if: the plans of the captured machines</h2><table id=\"whatif\"><thead><tr><th>machine</th>"
                      "<th>would go</th><th>would be kept</th><th>would be refused</th><th>printers removed</th>"
                      "<th>capture</th></tr></thead><tbody>";
    unsigned go = 0, kept = 0, refused = 0;
    std::map<std::string, unsigned> byRule;
    for (const WhatIfMachine& w : fleet.whatIf) {
        std::string printers;
        for (const std::string& p : w.printers) printers += (printers.empty() ? "" : ", ") + p;
        if (!w.error.empty()) {
            out += "<tr>" + Cell(w.name) + "<td colspan=\"4\">no plan: " + HtmlEscape(w.error) + "</td>" + Cell(w.folder) + "</tr>";
            continue;
        }
        out += "<tr>" + Cell(w.name) + NumCell(w.go) + NumCell(w.kept) + NumCell(w.refused) + Cell(printers) + Cell(w.folder) + "</tr>";
        go += w.go;
        kept += w.kept;
        refused += w.refused;
        for (const auto& rule : w.refusedByRule) byRule[rule.first] += rule.second;
    }
    out += "<tr><th>all " + Num(fleet.whatIf.size()) + "</th>" + NumCell(go) + NumCell(kept) + NumCell(refused) +
           "<td></td><td></td></tr></tbody></table>";
    if (byRule.empty()) return out;
    out += "<table id=\"whatif-rules\"><thead><tr><th>rule</th><th>would refuse</th></tr></thead><tbody>";
    for (const auto& rule : byRule) out += "<tr>" + Cell(rule.first) + NumCell(rule.second) + "</tr>";
    return out + "</tbody></table>";
}

std::string MachineRow(const FleetMachine& m) {
    std::string row = "<tr data-outcome=\"" + std::string(MachineOutcomeName(m.outcome)) + "\">" + Cell(m.name) +
                      Cell(m.date + " " + m.time) + Cell(MachineOutcomeName(m.outcome)) +
                      "<td class=\"n\">" + (m.hasExitCode ? std::to_string(m.exitCode) : "") + "</td>";
    for (ItemOutcome o : {ITEM_REMOVED, ITEM_NOT_THERE, ITEM_SCHEDULED, ITEM_FAILED, ITEM_REFUSED, ITEM_KEPT}) row += NumCell(m.counts[o]);
    std::string history;
    for (const std::string& h : m.history) history += (history.empty() ? "" : "; ") + h;
    row += NumCell(m.runs) + NumCell(m.unread) + Cell(m.logPath);
    return row + "<td title=\"" + HtmlEscape(history) + "\">" + HtmlEscape(history) + "</td></tr>";
}

std::string Machines(const Fleet& fleet) {
    std::string out = "<h2>Every machine: " + Num(fleet.machines.size()) + "</h2><div id=\"filter\"></div>"
                      "<p class=\"note\" id=\"shown\"></p><table id=\"machines\"><thead><tr><th>machine</th><th>last run</th>"
                      "<th>outcome</th><th class=\"n\">exit code</th><th class=\"n\">removed</th><th class=\"n\">not there</th>"
                      "<th class=\"n\">scheduled</th><th class=\"n\">failed</th><th class=\"n\">refused</th>"
                      "<th class=\"n\">kept</th><th class=\"n\">runs</th><th class=\"n\">unread</th><th>log</th>"
                      "<th>earlier runs</th></tr></thead><tbody>";
    for (const FleetMachine& m : fleet.machines) out += MachineRow(m);
    return out + "</tbody></table>";
}

std::string Notes(const Fleet& fleet) {
    if (fleet.notes.empty()) return "";
    std::string out = "<h2>Notes</h2><ul class=\"note\">";
    for (const std::string& note : fleet.notes) out += "<li>" + HtmlEscape(note) + "</li>";
    return out + "</ul>";
}

}  // namespace

std::string HtmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string FleetHtml(const Fleet& fleet) {
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>korun04 fleet report</title>"
                       "<style>" + std::string(kStyle) + "</style></head><body><h1>korun04 fleet report</h1>";
    page += "<p id=\"summary\">" + Num(fleet.machines.size()) + " machines, " + Num(fleet.runs) + " runs in " + Num(fleet.logs) +
            " logs of " + HtmlEscape(fleet.folder) + " (" + Num(fleet.filesSeen) + " files looked at). The last run of a "
            "machine tells its state; the earlier ones are its history.</p>";
    page += Outcomes(fleet) + Attention(fleet) + Failures(fleet) + Refusals(fleet) + WhatIf(fleet) + Machines(fleet) + Notes(fleet);
    return page + "<script>" + kScript + "</script></body></html>\n";
}

// The report page's look, inline in the page so that it needs nothing from anywhere: system
// fonts only, colours that print, charts that scale to the window.
#pragma once

inline constexpr const char* page_style = R"(
:root { color-scheme: light; --ink: #1f2937; --muted: #6b7280; --line: #e5e7eb; --panel: #f8fafc; }
* { box-sizing: border-box; }
body { margin: 0; font: 15px/1.5 system-ui, -apple-system, "Segoe UI", Roboto, "Helvetica Neue", Arial, sans-serif;
       color: var(--ink); background: #fff; }
main { max-width: 1080px; margin: 0 auto; padding: 28px 24px 48px; }
h1 { font-size: 26px; margin: 0 0 4px; overflow-wrap: anywhere; }
h2 { font-size: 19px; margin: 36px 0 10px; padding-bottom: 4px; border-bottom: 1px solid var(--line); }
h3 { font-size: 16px; margin: 22px 0 6px; }
.subtitle { color: var(--muted); margin: 0; }
.status { display: inline-block; padding: 2px 10px; border-radius: 12px; font-weight: 600; font-size: 13px; }
.status.completed { background: #dcfce7; color: #166534; }
.status.error, .status.interrupted { background: #fee2e2; color: #991b1b; }
.figures { display: grid; grid-template-columns: repeat(auto-fit, minmax(230px, 1fr)); gap: 14px; margin-top: 22px; }
.figure { background: var(--panel); border: 1px solid var(--line); border-radius: 10px; padding: 14px 16px;
          border-top: 5px solid var(--accent); }
.figure .name { font-weight: 600; font-size: 14px; }
.figure .value { font-size: 34px; font-weight: 700; letter-spacing: -0.5px; margin: 4px 0 0; }
.figure .value small { font-size: 16px; font-weight: 600; color: var(--muted); }
.figure .other { color: var(--muted); font-size: 13px; }
.measured { margin-top: 14px; }
.measured .drive { font-size: 18px; font-weight: 600; margin: 4px 0 2px; }
.units { color: var(--muted); font-size: 13px; margin-top: 10px; }
ul.notes { padding-left: 20px; }
ul.notes li { margin: 4px 0; }
ul.notes li.warning { color: #9a3412; }
ul.notes li.failure { color: #991b1b; font-weight: 600; }
svg.chart { width: 100%; height: auto; display: block; margin: 6px 0 14px; font-size: 12px; }
svg.chart text { fill: #374151; }
svg.chart .grid { stroke: #eef0f3; }
svg.chart .tick, svg.chart .axis { stroke: #9ca3af; }
svg.chart .label { font-size: 13px; fill: var(--muted); }
svg.chart .span { fill-opacity: 0.16; }
svg.chart .span-edge { stroke-width: 1.5; stroke-dasharray: 3 3; }
svg.chart text.span-caption { font-size: 11px; fill: #1f2937; paint-order: stroke; stroke: #fff; stroke-width: 3px; }
svg.chart circle:hover { fill-opacity: 1; r: 5; }
svg.chart .marker line { stroke: #b91c1c; stroke-dasharray: 5 4; stroke-width: 1.5; }
svg.chart .marker circle { fill: #b91c1c; }
svg.chart .stall path { fill: #ea580c; }
svg.chart .stall line { stroke: #ea580c; stroke-width: 1.5; }
svg.chart .marker text { fill: #b91c1c; font-weight: 600; font-size: 13px; }
table { border-collapse: collapse; margin: 8px 0 16px; font-size: 14px; }
th, td { text-align: left; padding: 4px 14px 4px 0; border-bottom: 1px solid var(--line); vertical-align: top; }
td:last-child { overflow-wrap: anywhere; }
td.number, th.number { text-align: right; font-variant-numeric: tabular-nums; }
.columns { display: grid; grid-template-columns: repeat(auto-fit, minmax(300px, 1fr)); gap: 0 28px; }
code { font-family: ui-monospace, "Cascadia Mono", Consolas, monospace; font-size: 13px; word-break: break-all; }
footer { margin-top: 40px; color: var(--muted); font-size: 13px; }
@media print { .figure { break-inside: avoid; } svg.chart { break-inside: avoid; } }
)";

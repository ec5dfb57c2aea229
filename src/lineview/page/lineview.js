// The line view: polls /api/line with the screen's bearer token and draws the figures. Its texts are in the
// table below, English and Chinese; ?lang=zh or ?lang=en chooses, else the language button, else the browser's.
'use strict';

const texts = {
  en: {
    title: 'Line view', station: 'Station', lastHour: 'Last hour', today: 'Today', yield: 'First-pass yield',
    lastError: 'Last error', idle: 'Idle', writing: 'writing', none: '—', failingSince: 'failing since {t}',
    pastError: '{t} (set {c})', throughput: 'Sets written this shift, per quarter hour', ranges: 'Identity ranges and pools left',
    range: 'Range', left: 'Left', rate: 'Taken last hour', runsOut: 'Runs out', inShift: 'RUNS OUT THIS SHIFT: {t}',
    usedUp: 'USED UP', updated: 'Updated {t}', unreachable: 'No figures since {t}: {m}', tokenPrompt: 'Token for this screen',
    show: 'Show', total: 'Shift {s}–{e}: {n} sets', noStations: 'No station has written yet.', minutes: '{n} min',
    hours: '{h} h {m} min', never: 'never', other: 'switch', kinds: { 'imei-tac': 'Default IMEI TAC', bt: 'Bluetooth', counter: 'Counter' },
    pools: { imei: 'IMEI sets of workbook', mbsn: 'MBSN of workbook', psn: 'PSN of workbook' },
  },
  zh: {
    title: '产线看板', station: '工位', lastHour: '近一小时', today: '今日', yield: '直通率',
    lastError: '最近错误', idle: '空闲', writing: '正在写号', none: '—', failingSince: '自 {t} 起连续失败',
    pastError: '{t}（第 {c} 套）', throughput: '本班产量（每刻钟）', ranges: '号段与号池余量',
    range: '号段', left: '剩余', rate: '近一小时用量', runsOut: '用尽时间', inShift: '本班内用尽：{t}',
    usedUp: '已用尽', updated: '更新于 {t}', unreachable: '自 {t} 起无数据：{m}', tokenPrompt: '本屏令牌',
    show: '显示', total: '本班 {s}–{e}：{n} 套', noStations: '尚无工位写号。', minutes: '{n} 分钟',
    hours: '{h} 小时 {m} 分钟', never: '从未', other: '切换', kinds: { 'imei-tac': '默认IMEI TAC', bt: '蓝牙', counter: '计数器' },
    pools: { imei: '表格IMEI组', mbsn: '表格MBSN', psn: '表格PSN' },
  },
};

const params = new URLSearchParams(location.search);
let language = params.get('lang') || localStorage.getItem('lineview.lang') ||
  ((navigator.language || '').toLowerCase().startsWith('zh') ? 'zh' : 'en');
if (!texts[language]) language = 'en';
let lastGood = null;
let lastFigures = null;

function t(key, values) {
  let text = texts[language][key];
  for (const [name, value] of Object.entries(values || {})) text = text.replace('{' + name + '}', value);
  return text;
}

function clock(iso) {
  const when = new Date(iso);
  return String(when.getHours()).padStart(2, '0') + ':' + String(when.getMinutes()).padStart(2, '0');
}

function duration(seconds) {
  const minutes = Math.floor(seconds / 60);
  return minutes < 60 ? t('minutes', { n: minutes }) : t('hours', { h: Math.floor(minutes / 60), m: minutes % 60 });
}

function cell(row, text, className) {
  const td = row.insertCell();
  td.textContent = text;
  if (className) td.className = className;
  return td;
}

function token() {
  const fromHash = new URLSearchParams(location.hash.slice(1)).get('token');
  if (fromHash) {
    localStorage.setItem('lineview.token', fromHash);
    history.replaceState(null, '', location.pathname + location.search); // off the screen and the history
  }
  return localStorage.getItem('lineview.token');
}

function applyLanguage() {
  document.documentElement.lang = language === 'zh' ? 'zh-CN' : 'en';
  document.title = t('title');
  document.getElementById('title').textContent = t('title');
  document.getElementById('token-label').textContent = t('tokenPrompt');
  document.getElementById('token-save').textContent = t('show');
  document.getElementById('language').textContent = language === 'zh' ? 'English' : '中文';
  for (const element of document.querySelectorAll('[data-text]')) element.textContent = t(element.dataset.text);
  if (lastFigures) draw(lastFigures);
}

function drawStations(stations) {
  const body = document.querySelector('#stations tbody');
  body.replaceChildren();
  if (stations.length === 0) {
    cell(body.insertRow(), t('noStations'), 'dim').colSpan = 6;
    return;
  }
  for (const s of stations) {
    const row = body.insertRow();
    row.dataset.station = s.station;
    cell(row, s.station, 'station');
    cell(row, s.writtenLastHour, 'number hour');
    cell(row, s.writtenToday, 'number today');
    const fpy = s.firstPassYield;
    cell(row, fpy === null ? t('none') : (fpy * 100).toFixed(1) + ' %',
      'number yield' + (fpy !== null && fpy < 0.95 ? ' warn' : ''));
    if (s.failingSince) {
      cell(row, t('failingSince', { t: clock(s.failingSince) }), 'error bad');
    } else if (s.lastError) {
      cell(row, t('pastError', { t: clock(s.lastError.at), c: s.lastError.cycle }), 'error dim');
    } else {
      cell(row, t('none'), 'error dim');
    }
    if (s.busy) cell(row, t('writing'), 'number idle good');
    else if (s.idleSeconds === null) cell(row, t('never'), 'number idle dim');
    else cell(row, duration(s.idleSeconds), 'number idle' + (s.idleSeconds >= 900 ? ' warn' : ''));
  }
}

function svg(name, attributes, text) {
  const element = document.createElementNS('http://www.w3.org/2000/svg', name);
  for (const [key, value] of Object.entries(attributes)) element.setAttribute(key, value);
  if (text !== undefined) element.textContent = text;
  return element;
}

function drawChart(figures) {
  const chart = document.getElementById('chart');
  chart.replaceChildren();
  const buckets = figures.throughput.buckets;
  const minutes = figures.throughput.bucketMinutes;
  const start = new Date(figures.shift.start), end = new Date(figures.shift.end);
  const slots = Math.max(1, Math.round((end - start) / 60000 / minutes));
  const top = Math.max(1, ...buckets.map((b) => b.sets));
  const left = 60, bottom = 290, width = 1000 - left - 10, height = 260;
  const slot = width / slots;
  let total = 0;
  buckets.forEach((b, i) => {
    total += b.sets;
    const h = (b.sets / top) * height;
    chart.append(svg('rect', { class: 'bar', x: left + i * slot + 1, y: bottom - h, width: Math.max(1, slot - 2),
      height: h, 'data-sets': b.sets }));
  });
  chart.append(svg('line', { class: 'axis', x1: left, y1: bottom, x2: left + width, y2: bottom }));
  chart.append(svg('line', { class: 'axis', x1: left, y1: bottom, x2: left, y2: bottom - height }));
  chart.append(svg('text', { x: 4, y: bottom - height + 18 }, String(top)));
  chart.append(svg('text', { x: 4, y: bottom }, '0'));
  const perHour = Math.round(60 / minutes);
  for (let i = 0; i <= slots; i += perHour) {
    const x = Math.min(left + i * slot, 1000 - 35);
    chart.append(svg('text', { x: x, y: 315, 'text-anchor': 'middle' },
      clock(new Date(start.getTime() + i * minutes * 60000))));
  }
  document.getElementById('shift-total').textContent =
    t('total', { s: clock(figures.shift.start), e: clock(figures.shift.end), n: total });
}

// The shared counters, then the pools read from workbooks: the same columns and warnings.
function drawRanges(ranges, pools) {
  const body = document.querySelector('#ranges tbody');
  body.replaceChildren();
  const rows = ranges.map((r) => ({ ...r, title: t('kinds')[r.kind] + ' ' + r.label }))
    .concat((pools || []).map((p) => ({ ...p, title: t('pools')[p.kind] + ' ' + p.name, pool: true })));
  for (const r of rows) {
    const row = body.insertRow();
    if (r.pool) row.dataset.pool = r.name;
    else row.dataset.range = r.name;
    cell(row, r.title, 'range');
    cell(row, r.left, 'number left' + (r.runsOutInShift ? ' bad' : ''));
    cell(row, r.takenLastHour, 'number rate');
    if (r.left === 0) cell(row, t('usedUp'), 'runs-out bad');
    else if (r.runsOutInShift) cell(row, t('inShift', { t: clock(r.runsOutAt) }), 'runs-out bad');
    else cell(row, r.runsOutAt ? new Date(r.runsOutAt).toLocaleString(language === 'zh' ? 'zh-CN' : 'en-GB') : t('none'),
      'runs-out');
  }
}

function draw(figures) {
  drawStations(figures.stations);
  drawChart(figures);
  drawRanges(figures.ranges, figures.pools);
}

function setStatus(text, down) {
  const status = document.getElementById('status');
  status.textContent = text;
  status.classList.toggle('down', down);
}

async function poll() {
  const bearer = token();
  if (!bearer) {
    document.getElementById('token-form').hidden = false;
    return;
  }
  try {
    const reply = await fetch('/api/line', { headers: { Authorization: 'Bearer ' + bearer }, cache: 'no-store' });
    const body = await reply.json();
    if (reply.status === 401) {
      localStorage.removeItem('lineview.token');
      document.getElementById('token-form').hidden = false;
      setStatus(body.error, true);
      return;
    }
    if (!reply.ok) throw new Error(body.error || reply.statusText);
    lastFigures = body;
    lastGood = new Date();
    draw(body);
    setStatus(t('updated', { t: lastGood.toLocaleTimeString(language === 'zh' ? 'zh-CN' : 'en-GB') }), false);
  } catch (fault) {
    setStatus(t('unreachable', { t: lastGood ? clock(lastGood) : t('never'), m: fault.message }), true);
  }
  setTimeout(poll, 5000);
}

document.getElementById('language').addEventListener('click', () => {
  language = language === 'zh' ? 'en' : 'zh';
  localStorage.setItem('lineview.lang', language);
  applyLanguage();
});
document.getElementById('token-form').addEventListener('submit', (event) => {
  event.preventDefault();
  localStorage.setItem('lineview.token', document.getElementById('token').value.trim());
  document.getElementById('token-form').hidden = true;
  poll();
});
setInterval(() => { document.getElementById('clock').textContent = new Date().toLocaleTimeString('en-GB'); }, 1000);
applyLanguage();
poll();

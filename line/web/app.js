// The dashboard: the stations live, the line's totals and failures, a
// device's history, and for an administrator the API tokens.
'use strict';

// ---- Helpers -------------------------------------------------------------

// Sets a node's text only when it changed: with 20 stations of 8 ports
// updating live, untouched nodes cost the browser no layout.
function setText(node, text) {
  const value = text === undefined || text === null ? '' : String(text);
  if (node.textContent !== value) {
    node.textContent = value;
  }
}

function setData(node, name, value) {
  const text = String(value);
  if (node.dataset[name] !== text) {
    node.dataset[name] = text;
  }
}

// fn at most once per interval; a call within it runs once it is over.
function throttle(fn, interval) {
  let last = 0;
  let timer = null;
  return () => {
    const wait = last + interval - Date.now();
    if (wait <= 0) {
      last = Date.now();
      fn();
    } else if (!timer) {
      timer = setTimeout(() => {
        timer = null;
        last = Date.now();
        fn();
      }, wait);
    }
  };
}

function handleFailure(failure, where) {
  if (failure.status === 401) {
    location.assign('/login');
    return;
  }
  if (where) {
    where.replaceChildren(el('p', { className: 'error', role: 'alert', text: t('error.load', failure.message) }));
  }
  console.error(failure);
}

function csvHref(path, params) {
  const query = new URLSearchParams(params);
  query.delete('cursor');
  query.set('format', 'csv');
  return `${path}?${query}`;
}

function table(columns, rows, rowAttributes, cells) {
  const head = el('tr', {}, ...columns.map((key) => el('th', { scope: 'col', text: t(key) })));
  const body = el('tbody');
  rows.forEach((row) => body.append(el('tr', rowAttributes(row), ...cells(row))));
  return el('table', { className: 'list' }, el('thead', {}, head), body);
}

function cell(className, text) {
  return el('td', { className, text: text === null || text === undefined ? '' : String(text) });
}

function percent(fraction) {
  return fraction === null || fraction === undefined ? t('totals.none') : `${(fraction * 100).toFixed(1)} %`;
}

// ---- Stations ------------------------------------------------------------

const stationsBox = document.getElementById('stations');
const tiles = new Map();  // station name -> {station, nodes, ports}
const pendingStations = new Map();
let framePending = false;

function buildTile(name) {
  const nodes = {};
  const field = (key, labelKey) => {
    nodes[key] = el('dd', { className: key });
    return [el('dt', { 'data-label': labelKey }), nodes[key]];
  };
  nodes.name = el('h3', { className: 'name', text: name });
  nodes.online = el('span', { className: 'online' });
  nodes.ports = el('ol', { className: 'ports' });
  nodes.root = el('article', { className: 'station', 'data-station': name },
    el('header', {}, nodes.name, nodes.online),
    el('dl', { className: 'facts' },
      ...field('job', 'station.job'), ...field('file', 'station.file'),
      ...field('counts', 'station.counts'), ...field('rate', 'station.rate'),
      ...field('phase', 'station.phase')),
    nodes.ports);
  return { station: null, nodes, ports: [] };
}

function buildPort(portNo) {
  const nodes = {
    label: el('span', { className: 'label' }),
    phase: el('span', { className: 'phase' }),
    state: el('span', { className: 'state' }),
    imei: el('span', { className: 'imei' }),
    fill: el('span', { className: 'fill' }),
    percent: el('span', { className: 'percent' }),
    verdict: el('span', { className: 'verdict' }),
  };
  nodes.bar = el('span', { className: 'bar', role: 'progressbar', 'aria-valuemin': '0', 'aria-valuemax': '100' },
    nodes.fill);
  nodes.root = el('li', { className: 'port', 'data-port': String(portNo) },
    el('div', { className: 'port-head' }, nodes.label, nodes.phase),
    el('div', { className: 'port-state' }, nodes.state),
    el('div', { className: 'port-imei' }, el('span', { className: 'key', 'data-label': 'port.imei' }), nodes.imei),
    el('div', { className: 'progress' }, nodes.bar, nodes.percent),
    el('div', { className: 'port-verdict' }, el('span', { className: 'key', 'data-label': 'port.verdict' }),
      nodes.verdict));
  return nodes;
}

function placeTile(tile, name) {
  // In order of name, so that a station keeps its place on every screen.
  const after = [...tiles.keys()].filter((other) => other > name).sort()[0];
  stationsBox.insertBefore(tile.nodes.root, after ? tiles.get(after).nodes.root : null);
}

function renderLabels(root) {
  root.querySelectorAll('[data-label]').forEach((node) => setText(node, t(node.dataset.label)));
}

function renderPort(view, port) {
  const phase = port.phase || 'idle';
  setText(view.label, port.label);
  setText(view.phase, t(`port.${phase}`));
  setData(view.root, 'phase', phase);
  setText(view.state, port.state_text);
  setText(view.imei, port.imei_text || '—');
  const permille = Math.max(0, Math.min(1000, Number(port.permille) || 0));
  const shownPercent = Math.floor(permille / 10);
  const width = `${permille / 10}%`;
  if (view.fill.style.width !== width) {
    view.fill.style.width = width;
  }
  setText(view.percent, `${shownPercent} %`);
  if (view.bar.getAttribute('aria-valuenow') !== String(shownPercent)) {
    view.bar.setAttribute('aria-valuenow', String(shownPercent));
  }
  if (!port.last_verdict) {
    setText(view.verdict, t('port.noVerdict'));
    setData(view.root, 'verdict', 'none');
  } else {
    setText(view.verdict, t(port.last_ok ? 'verdict.ok' : 'verdict.failed', port.last_verdict));
    setData(view.root, 'verdict', port.last_ok ? 'ok' : 'failed');
  }
}

function renderStation(station) {
  const name = station.station;
  let tile = tiles.get(name);
  if (!tile) {
    tile = buildTile(name);
    placeTile(tile, name);
    tiles.set(name, tile);
    renderLabels(tile.nodes.root);
  }
  tile.station = station;
  const { nodes } = tile;
  setText(nodes.online, t(station.online ? 'station.online' : 'station.offline'));
  setData(nodes.root, 'online', station.online ? 'true' : 'false');
  const job = station.job || '';
  setText(nodes.job, STRINGS.en[`job.${job}`] ? t(`job.${job}`) : job);
  setText(nodes.file, station.file_name);
  if (nodes.file.title !== (station.file_sha256 || '')) {
    nodes.file.title = station.file_sha256 || '';
  }
  const count = station.count ? station.count : t('station.noEnd');
  setText(nodes.counts, `${station.done ?? 0} / ${station.failed ?? 0} / ${count}`);
  setText(nodes.rate, Number(station.devices_per_hour || 0).toFixed(1));
  setText(nodes.phase, station.phase ? t(`phase.${station.phase}`) : '');
  setData(nodes.root, 'phase', station.phase || '');

  const ports = [...(station.ports || [])].sort((a, b) => a.port_no - b.port_no);
  while (tile.ports.length > ports.length) {
    tile.ports.pop().root.remove();
  }
  ports.forEach((port, index) => {
    let view = tile.ports[index];
    if (!view || view.root.dataset.port !== String(port.port_no)) {
      const fresh = buildPort(port.port_no);
      if (view) {
        view.root.replaceWith(fresh.root);
      } else {
        nodes.ports.append(fresh.root);
      }
      renderLabels(fresh.root);
      tile.ports[index] = fresh;
      view = fresh;
    }
    renderPort(view, port);
  });
}

function flushStations() {
  framePending = false;
  for (const station of pendingStations.values()) {
    renderStation(station);
  }
  pendingStations.clear();
  document.getElementById('stations-none').hidden = tiles.size > 0;
}

// Changes wait for the next frame: a burst of events redraws each tile once.
function queueStation(station) {
  pendingStations.set(station.station, station);
  if (!framePending) {
    framePending = true;
    // A hidden page gets no frames; its tiles must still be right on return.
    if (document.hidden) {
      setTimeout(flushStations, 250);
    } else {
      requestAnimationFrame(flushStations);
    }
  }
}

async function loadStations() {
  try {
    const answer = await api('GET', '/api/v1/stations');
    (answer.stations || []).forEach(queueStation);
    if (!(answer.stations || []).length) {
      document.getElementById('stations-none').hidden = tiles.size > 0;
    }
  } catch (failure) {
    handleFailure(failure, null);
  }
}

const live = document.getElementById('live');

function showLive(state) {
  live.dataset.state = state;
  setText(live, t(state === 'connected' ? 'live.connected' : 'live.lost'));
}
onLanguageChange(() => { if (live.dataset.state !== 'connecting') { showLive(live.dataset.state); } });

function listen() {
  const events = new EventSource('/api/v1/events');
  events.addEventListener('open', () => {
    showLive('connected');
    // What changed while the stream was down.
    loadStations();
  });
  events.addEventListener('error', () => {
    showLive('lost');
    // The browser retries a dropped stream by itself, but not one refused
    // (an ended session, a restarting server): that one is asked again here,
    // and the login page shown when the session is over.
    if (events.readyState === EventSource.CLOSED) {
      setTimeout(async () => {
        try {
          await api('GET', '/api/v1/me');
          listen();
        } catch (failure) {
          if (failure.status === 401) {
            handleFailure(failure, null);
          } else {
            events.dispatchEvent(new Event('error'));
          }
        }
      }, 5000);
    }
  });
  events.addEventListener('station', (event) => {
    try {
      queueStation(JSON.parse(event.data));
    } catch (failure) {
      console.error('a station event that is not JSON', failure);
      return;
    }
    refreshSoon();
  });
}

// ---- Totals, chart, failures --------------------------------------------

const spanKind = document.getElementById('span-kind');
const spanFrom = document.getElementById('span-from');
const spanTo = document.getElementById('span-to');

function startOfToday() {
  const now = new Date();
  return new Date(now.getFullYear(), now.getMonth(), now.getDate());
}

// since, until (null: now) and the hours between, for the chosen span.
function chosenSpan() {
  const now = new Date();
  if (spanKind.value === 'day') {
    return { since: new Date(now.getTime() - 24 * 3600e3), until: null };
  }
  if (spanKind.value === 'range' && spanFrom.value) {
    const since = new Date(spanFrom.value);
    const until = spanTo.value ? new Date(spanTo.value) : null;
    return { since, until };
  }
  return { since: startOfToday(), until: null };
}

function spanParams(span) {
  const params = { since: apiTime(span.since) };
  if (span.until) {
    params.until = apiTime(span.until);
  }
  return params;
}

function hoursOf(span) {
  const end = span.until ? span.until.getTime() : Date.now();
  return Math.max((end - span.since.getTime()) / 3600e3, 1 / 60);
}

const totalsShown = { today: null, chosen: null };

function renderTotals(block, shown) {
  let list = block.querySelector('dl');
  if (!list) {
    list = el('dl', { className: 'totals-list' });
    for (const key of ['ok', 'failed', 'rate', 'yield']) {
      list.append(el('div', { className: 'total', 'data-total': key },
        el('dt', { 'data-label': `totals.${key}` }), el('dd', { className: 'value' })));
    }
    block.append(list);
  }
  renderLabels(list);
  const values = shown ? {
    ok: `✓ ${shown.totals.ok ?? 0}`,
    failed: `✗ ${shown.totals.failed ?? 0}`,
    rate: (((shown.totals.ok ?? 0) + (shown.totals.failed ?? 0)) / shown.hours).toFixed(1),
    yield: percent(shown.totals.first_pass_yield),
  } : { ok: '…', failed: '…', rate: '…', yield: '…' };
  for (const [key, value] of Object.entries(values)) {
    setText(list.querySelector(`[data-total="${key}"] .value`), value);
  }
}

async function loadTotals() {
  const today = { since: startOfToday(), until: null };
  const chosen = chosenSpan();
  const blocks = { today: document.getElementById('totals-today'), chosen: document.getElementById('totals-span') };
  await Promise.all(Object.entries({ today, chosen }).map(async ([key, span]) => {
    try {
      const answer = await api('GET', `/api/v1/yield?${new URLSearchParams(spanParams(span))}`);
      totalsShown[key] = { totals: answer.totals || {}, hours: hoursOf(span) };
      renderTotals(blocks[key], totalsShown[key]);
    } catch (failure) {
      handleFailure(failure, null);
    }
  }));
}

// Colour and a point shape per station: the lines differ by more than colour.
const SERIES_COLOURS = ['#1f6feb', '#d9480f', '#2b8a3e', '#862e9c', '#c92a2a', '#0b7285', '#5c940d', '#e67700'];
const SERIES_SHAPES = ['circle', 'triangle', 'rect', 'rectRot', 'star', 'crossRot', 'rectRounded', 'cross'];
let chart = null;
let chartRows = null;

function renderChart() {
  if (!chartRows || typeof Chart === 'undefined') {
    return;
  }
  // Hours from 23 hours ago to this one, on the browser's clock.
  const hourStart = new Date();
  hourStart.setMinutes(0, 0, 0);
  const hours = [];
  for (let i = 23; i >= 0; --i) {
    hours.push(new Date(hourStart.getTime() - i * 3600e3));
  }
  const slot = new Map(hours.map((hour, index) => [Math.floor(hour.getTime() / 3600e3), index]));
  const series = new Map();
  for (const row of chartRows) {
    const index = slot.get(Math.floor(new Date(row.hour).getTime() / 3600e3));
    if (index === undefined) {
      continue;
    }
    const name = row.station || t('chart.all');
    if (!series.has(name)) {
      series.set(name, new Array(hours.length).fill(0));
    }
    series.get(name)[index] += Number(row.devices ?? row.records ?? 0);
  }
  const names = [...series.keys()].sort();
  const labels = hours.map((hour) => `${String(hour.getHours()).padStart(2, '0')}:00`);
  const datasets = names.map((name, i) => ({
    label: name,
    data: series.get(name),
    borderColor: SERIES_COLOURS[i % SERIES_COLOURS.length],
    backgroundColor: SERIES_COLOURS[i % SERIES_COLOURS.length],
    pointStyle: SERIES_SHAPES[i % SERIES_SHAPES.length],
    pointRadius: 4,
    tension: 0.2,
  }));
  if (!chart) {
    chart = new Chart(document.getElementById('chart'), {
      type: 'line',
      data: { labels, datasets },
      options: {
        animation: false,
        maintainAspectRatio: false,
        interaction: { mode: 'index', intersect: false },
        scales: { y: { beginAtZero: true, ticks: { precision: 0 } } },
        plugins: { legend: { labels: { usePointStyle: true } } },
      },
    });
  } else {
    chart.data.labels = labels;
    chart.data.datasets = datasets;
    chart.update('none');
  }
  document.getElementById('chart').dataset.series = names.join('\n');
}

async function loadChart() {
  const params = { since: apiTime(new Date(Date.now() - 24 * 3600e3)), by: 'hour,station' };
  document.getElementById('chart-csv').href = csvHref('/api/v1/yield', params);
  try {
    const answer = await api('GET', `/api/v1/yield?${new URLSearchParams(params)}`);
    chartRows = answer.rows || [];
    renderChart();
  } catch (failure) {
    handleFailure(failure, null);
  }
}

const failuresBox = document.getElementById('failures');
let failuresShown = null;

function renderFailures() {
  if (!failuresShown) {
    return;
  }
  if (!failuresShown.length) {
    failuresBox.replaceChildren(el('p', { className: 'muted', text: t('failures.none') }));
    return;
  }
  failuresBox.replaceChildren(table(
    ['failures.message', 'failures.count', 'failures.last', 'failures.open'],
    failuresShown,
    (failure) => ({ 'data-message-id': failure.message_id }),
    (failure) => [
      cell('message', failure.message), cell('count', failure.count), cell('last', formatTime(failure.last_at)),
      // Words without an ID name no records of their own to list.
      el('td', {}, failure.message_id === null ? null : el('button', {
        type: 'button', className: 'open', text: t('failures.open'),
        onclick: () => showRecords({ ...spanParams(chosenSpan()), message_id: failure.message_id, result: 'failed' },
          'records.forMessage', failure.message),
      })),
    ]));
}

async function loadFailures() {
  const params = spanParams(chosenSpan());
  document.getElementById('failures-csv').href = csvHref('/api/v1/failures', params);
  try {
    const answer = await api('GET', `/api/v1/failures?${new URLSearchParams(params)}`);
    failuresShown = answer.failures || [];
    renderFailures();
  } catch (failure) {
    handleFailure(failure, failuresBox);
  }
}

function refreshAll() {
  loadTotals();
  loadChart();
  loadFailures();
}
const refreshSoon = throttle(refreshAll, 5000);

// ---- Records and their items --------------------------------------------

const records = { params: null, title: null, list: [], next: null };
const recordsBox = document.getElementById('records');

function renderRecords() {
  if (!records.params) {
    return;
  }
  setText(document.getElementById('records-title'), t(...records.title));
  document.getElementById('records-more').hidden = !records.next;
  if (!records.list.length) {
    recordsBox.replaceChildren(el('p', { className: 'muted', text: t('records.none') }));
    return;
  }
  recordsBox.replaceChildren(table(
    ['records.started', 'records.station', 'records.port', 'records.command', 'records.imei', 'records.version',
      'records.result', 'records.message', 'records.open'],
    records.list,
    (record) => ({ 'data-record-id': record.id, 'data-result': record.result }),
    (record) => [
      cell('started', formatTime(record.started_at)), cell('station', record.station), cell('port', record.port),
      cell('command', STRINGS.en[`job.${record.command}`] ? t(`job.${record.command}`) : record.command),
      cell('imei', record.imei_text), cell('version', record.version_text),
      cell('result', STRINGS.en[`result.${record.result}`] ? t(`result.${record.result}`) : record.result),
      cell('message', record.message),
      el('td', {}, el('button', { type: 'button', className: 'open', text: t('records.open'),
        onclick: () => showItems(record.id) })),
    ]));
}

async function loadRecords() {
  const params = new URLSearchParams(records.params);
  if (records.next) {
    params.set('cursor', records.next);
  }
  try {
    const answer = await api('GET', `/api/v1/records?${params}`);
    records.list.push(...(answer.records || []));
    records.next = answer.next_cursor || null;
    renderRecords();
  } catch (failure) {
    handleFailure(failure, recordsBox);
  }
}

function showRecords(params, titleKey, titleArg) {
  Object.assign(records, { params, title: [titleKey, titleArg], list: [], next: null });
  document.getElementById('records-csv').href = csvHref('/api/v1/records', params);
  document.getElementById('items-section').hidden = true;
  const section = document.getElementById('records-section');
  section.hidden = false;
  setText(document.getElementById('records-title'), t(titleKey, titleArg));
  recordsBox.replaceChildren(el('p', { className: 'muted', text: t('loading') }));
  section.scrollIntoView({ block: 'nearest' });
  return loadRecords();
}

let itemsShown = null;
const itemsBox = document.getElementById('items');

function renderItems() {
  if (!itemsShown) {
    return;
  }
  setText(document.getElementById('items-title'), t('items.title', itemsShown.id));
  const items = itemsShown.items || [];
  if (!items.length) {
    itemsBox.replaceChildren(el('p', { className: 'muted', text: t('items.none') }));
    return;
  }
  itemsBox.replaceChildren(table(
    ['items.number', 'items.name', 'items.before', 'items.wanted', 'items.after', 'items.written', 'items.source'],
    items,
    (item) => ({ 'data-seq': item.seq }),
    (item) => [
      cell('number', item.number), cell('name', item.name_text), cell('before', item.before_text),
      cell('wanted', item.wanted_text), cell('after', item.after_text),
      cell('written', t(item.written ? 'yes' : 'no')), cell('source', item.source),
    ]));
}

async function showItems(id) {
  const section = document.getElementById('items-section');
  section.hidden = false;
  itemsBox.replaceChildren(el('p', { className: 'muted', text: t('loading') }));
  try {
    itemsShown = await api('GET', `/api/v1/records/${encodeURIComponent(id)}`);
    renderItems();
    section.scrollIntoView({ block: 'nearest' });
  } catch (failure) {
    handleFailure(failure, itemsBox);
  }
}

function wireRecords() {
  document.getElementById('imei-search').addEventListener('submit', (event) => {
    event.preventDefault();
    const imei = document.getElementById('imei-input').value.trim();
    if (!imei) {
      return;
    }
    showRecords({ imei }, 'records.forImei', imei);
  });
  document.getElementById('records-more').addEventListener('click', loadRecords);
  document.getElementById('records-close').addEventListener('click', () => {
    document.getElementById('records-section').hidden = true;
    document.getElementById('items-section').hidden = true;
    records.params = null;
  });
  document.getElementById('items-close').addEventListener('click', () => {
    document.getElementById('items-section').hidden = true;
    itemsShown = null;
  });
}

// ---- API tokens (administrators) ----------------------------------------

let tokensShown = null;
let tokenMade = null;
const tokensBox = document.getElementById('tokens');

function renderTokens() {
  if (tokenMade) {
    setText(document.getElementById('token-new-text'), t('tokens.shownOnce', tokenMade.name));
  }
  if (!tokensShown) {
    return;
  }
  if (!tokensShown.length) {
    tokensBox.replaceChildren(el('p', { className: 'muted', text: t('tokens.none') }));
    return;
  }
  tokensBox.replaceChildren(table(
    ['tokens.name', 'tokens.created', 'tokens.state', 'tokens.revoke'],
    tokensShown,
    (token) => ({ 'data-token-id': token.id, 'data-revoked': token.revoked_at ? 'true' : 'false' }),
    (token) => [
      cell('name', token.name), cell('created', formatTime(token.created_at)),
      cell('state', token.revoked_at ? t('tokens.revoked', formatTime(token.revoked_at)) : t('tokens.active')),
      el('td', {}, token.revoked_at ? null : el('button', {
        type: 'button', className: 'revoke', text: t('tokens.revoke'),
        onclick: () => revokeToken(token),
      })),
    ]));
}

async function loadTokens() {
  try {
    const answer = await api('GET', '/api/v1/tokens');
    tokensShown = answer.tokens || [];
    renderTokens();
  } catch (failure) {
    handleFailure(failure, tokensBox);
  }
}

async function revokeToken(token) {
  if (!confirm(t('tokens.confirmRevoke', token.name))) {
    return;
  }
  try {
    await api('DELETE', `/api/v1/tokens/${encodeURIComponent(token.id)}`);
  } catch (failure) {
    handleFailure(failure, tokensBox);
    return;
  }
  loadTokens();
}

function wireTokens() {
  document.getElementById('tokens-section').hidden = false;
  document.getElementById('token-form').addEventListener('submit', async (event) => {
    event.preventDefault();
    const input = document.getElementById('token-name');
    const name = input.value.trim();
    if (!name) {
      return;
    }
    try {
      tokenMade = await api('POST', '/api/v1/tokens', { name });
    } catch (failure) {
      handleFailure(failure, tokensBox);
      return;
    }
    input.value = '';
    document.getElementById('token-new').hidden = false;
    setText(document.getElementById('token-new-value'), tokenMade.token);
    renderTokens();
    loadTokens();
  });
  loadTokens();
}

// ---- The page ------------------------------------------------------------

function renderMe(me) {
  setText(document.getElementById('me-user'), me.user);
  setText(document.getElementById('me-role'), t(`me.role.${me.role}`));
}

async function start() {
  applyTexts();
  wireLanguageSwitch();
  let me;
  try {
    me = await api('GET', '/api/v1/me');
  } catch (failure) {
    handleFailure(failure, null);
    return;
  }
  renderMe(me);
  document.getElementById('logout').addEventListener('click', async () => {
    try {
      await api('POST', '/logout');
    } finally {
      location.assign('/login');
    }
  });
  spanKind.addEventListener('change', () => {
    document.getElementById('span-range').hidden = spanKind.value !== 'range';
    refreshAll();
  });
  spanFrom.addEventListener('change', refreshAll);
  spanTo.addEventListener('change', refreshAll);
  wireRecords();
  if (me.role === 'admin') {
    wireTokens();
  }
  onLanguageChange(() => {
    renderMe(me);
    for (const tile of tiles.values()) {
      renderLabels(tile.nodes.root);
      renderStation(tile.station);
    }
    renderTotals(document.getElementById('totals-today'), totalsShown.today);
    renderTotals(document.getElementById('totals-span'), totalsShown.chosen);
    renderChart();
    renderFailures();
    renderRecords();
    renderItems();
    renderTokens();
  });
  renderTotals(document.getElementById('totals-today'), null);
  renderTotals(document.getElementById('totals-span'), null);
  await loadStations();
  listen();
  refreshAll();
}

start();

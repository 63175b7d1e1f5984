// The fleet page's script (telinv-read html): sorting the fleet table by a column and
// filtering its rows. It reads the page's own text and data attributes only, and
// changes nothing but the order and the visibility of rows. Without it the page is
// complete, the table in host order. It stands in the page as it is here; the page's
// Content-Security-Policy allows it by its SHA-256 hash, made at build time.
(function () {
  'use strict';
  var table = document.getElementById('fleet');
  if (!table) return;
  document.documentElement.classList.add('js');
  var body = table.tBodies[0];
  var heads = table.tHead.rows[0].cells;
  var collator = new Intl.Collator(undefined, { numeric: true, sensitivity: 'base' });

  function key(row, column, numeric) {
    var cell = row.cells[column];
    var text = cell.hasAttribute('data-sort') ? cell.getAttribute('data-sort') : cell.textContent;
    if (!numeric) return text;
    return text === '' ? null : Number(text);
  }

  function sortBy(column) {
    var head = heads[column];
    var numeric = head.getAttribute('data-type') === 'number';
    var up = head.getAttribute('aria-sort') !== 'ascending';
    var rows = Array.prototype.slice.call(body.rows).map(function (row, i) {
      return { row: row, key: key(row, column, numeric), i: i };
    });
    rows.sort(function (a, b) {
      // Rows without a value last, whichever the direction.
      if (a.key === null || b.key === null) {
        if (a.key === b.key) return a.i - b.i;
        return a.key === null ? 1 : -1;
      }
      var c = numeric ? a.key - b.key : collator.compare(a.key, b.key);
      if (!up) c = -c;
      return c !== 0 ? c : a.i - b.i;
    });
    var fragment = document.createDocumentFragment();
    rows.forEach(function (r) { fragment.appendChild(r.row); });
    body.appendChild(fragment);
    for (var k = 0; k < heads.length; k++) heads[k].removeAttribute('aria-sort');
    head.setAttribute('aria-sort', up ? 'ascending' : 'descending');
  }

  for (var c = 0; c < heads.length; c++) {
    heads[c].addEventListener('click', sortBy.bind(null, c));
    heads[c].tabIndex = 0;
    heads[c].addEventListener('keydown', function (column, e) {
      if (e.key === 'Enter' || e.key === ' ') { e.preventDefault(); sortBy(column); }
    }.bind(null, c));
  }

  var filter = document.getElementById('fleet-filter');
  var count = document.getElementById('fleet-count');
  if (filter) {
    filter.hidden = false;
    var texts = null;
    filter.addEventListener('input', function () {
      if (!texts) {
        texts = new Map();
        Array.prototype.forEach.call(body.rows, function (row) { texts.set(row, row.textContent.toLowerCase()); });
      }
      var words = filter.value.toLowerCase().split(/\s+/).filter(Boolean);
      var shown = 0;
      Array.prototype.forEach.call(body.rows, function (row) {
        var text = texts.get(row);
        var match = words.every(function (w) { return text.indexOf(w) >= 0; });
        row.hidden = !match;
        if (match) shown++;
      });
      if (count) count.textContent = words.length ? shown + ' of ' + body.rows.length + ' hosts' : '';
    });
  }
})();

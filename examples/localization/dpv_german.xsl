<?xml version="1.0" encoding="UTF-8"?>
<!--
  Zeigt eine Kvrn-Wertedatei (.dpv) als lesbare HTML-Seite.
  Deutsche Fassung von kvrn/xsl/dpv.xsl; sie wird beim Speichern mit KVRN_LANG=german
  unter dem Namen der Wertedatei neben diese kopiert (kvrn1_user.dpv -> kvrn1_user.xsl).
  Dieselbe Seite ohne Browser: xsltproc kvrn1_user.xsl kvrn1_user.dpv > kvrn1_user.html
  Die Spalten haben feste Anteile an der Breite und ihr Text bricht um, so dass auf einem
  Bildschirm von 1.366 px jede Spalte sichtbar bleibt. Die Seite braucht kein Skript.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">

  <xsl:output method="html" encoding="UTF-8" indent="yes"
              doctype-system="about:legacy-compat"/>

  <!-- In einer standardmäßig gesperrten Datei markiert locked="yes" eine Ausnahme: eine
       Voreinstellung, die für die höheren Ebenen offen bleibt. Sonst markiert es eine
       Sperre. -->
  <xsl:variable name="lockedByDefault"
                select="/PrefValues/@defaultLockStatus = 'locked'"/>

  <xsl:template match="/">
    <html lang="de">
      <head>
        <meta name="viewport" content="width=device-width, initial-scale=1"/>
        <title>Kvrn-Voreinstellungen</title>
        <style>
          body { font: 14px/1.35 system-ui, "Segoe UI", Roboto, "DejaVu Sans", sans-serif;
                 margin: 16px 20px; color: #202020; }
          h1 { font-size: 22px; margin: 0 0 4px; }
          h2 { font-size: 16px; font-weight: normal; margin: 0 0 4px; }
          h2.locked { color: #a01010; }
          h2.unlocked { color: #106010; }
          p.note { font-size: 13px; color: #505050; margin: 4px 0 10px; max-width: 80em; }
          p.note code { white-space: nowrap; }
          table { border-collapse: collapse; width: 100%; table-layout: fixed; }
          col.place { width: 15%; }
          col.title { width: 12%; }
          col.name { width: 17%; }
          col.value { width: 16%; }
          col.lock { width: 9%; }
          col.modified { width: 10%; }
          col.comment { width: 21%; }
          th, td { border: 1px solid #b0b0b0; padding: 4px 6px; text-align: left;
                   vertical-align: top; overflow-wrap: anywhere; word-wrap: break-word; }
          th { background: #e4e8ee; }
          tbody tr:nth-child(even) { background: #f6f7f9; }
          td.name, span.raw { font-family: ui-monospace, "DejaVu Sans Mono", monospace;
                              font-size: 12px; }
          span.raw { display: block; color: #606060; }
          td.lock-locked { color: #a01010; font-weight: bold; }
          td.lock-open { color: #106010; }
          td.modified { font-size: 12px; }
          td.comment { white-space: pre-wrap; }
        </style>
      </head>
      <body>
        <h1>Kvrn-Voreinstellungen</h1>
        <xsl:choose>
          <xsl:when test="$lockedByDefault">
            <h2 class="locked">Standardmäßig gesperrt: Jede Voreinstellung ist für die
              höheren Ebenen gesperrt, außer den als Ausnahme markierten.</h2>
          </xsl:when>
          <xsl:otherwise>
            <h2 class="unlocked">Standardmäßig offen: Nur die als gesperrt markierten
              Voreinstellungen sind für die höheren Ebenen gesperrt.</h2>
          </xsl:otherwise>
        </xsl:choose>
        <p class="note">
          <xsl:value-of select="count(/PrefValues/Pref)"/>
          <xsl:text> Werte auf dieser Ebene gespeichert. Ein Wert gilt nur, wenn keine
            niedrigere Ebene seine Voreinstellung sperrt. Alle Ebenen auf einmal, mit dem
            geltenden Wert: </xsl:text>
          <code>kvrn-prefs report --html -o report.html</code>
        </p>
        <xsl:choose>
          <xsl:when test="/PrefValues/Pref">
            <table>
              <colgroup>
                <col class="place"/>
                <col class="title"/>
                <col class="name"/>
                <col class="value"/>
                <col class="lock"/>
                <col class="modified"/>
                <col class="comment"/>
              </colgroup>
              <thead>
                <tr>
                  <th>Anwendung / Kategorie / Registerkarte</th>
                  <th>Titel</th>
                  <th>Name</th>
                  <th>Wert</th>
                  <th>Sperre</th>
                  <th>Geändert</th>
                  <th>Kommentar</th>
                </tr>
              </thead>
              <tbody>
                <xsl:apply-templates select="/PrefValues/Pref">
                  <xsl:sort select="@Application"/>
                  <xsl:sort select="@Category"/>
                  <xsl:sort select="@Tab"/>
                  <xsl:sort select="@title"/>
                </xsl:apply-templates>
              </tbody>
            </table>
          </xsl:when>
          <xsl:otherwise>
            <p>Auf dieser Ebene sind keine Werte gespeichert.</p>
          </xsl:otherwise>
        </xsl:choose>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="Pref">
    <tr>
      <td>
        <xsl:value-of select="concat(@Application, ' / ', @Category, ' / ', @Tab)"/>
      </td>
      <td><xsl:value-of select="@title"/></td>
      <td class="name"><xsl:value-of select="@name"/></td>
      <td>
        <xsl:value-of select="@displayValue"/>
        <!-- Der gespeicherte Wert, wo der gezeigte anders lautet (der Name einer Auswahl),
             nicht aber die kodierte Form einer Zeichenkettenliste: ihre Einträge stehen da. -->
        <xsl:if test="string(@value) != string(@displayValue) and
                      not(starts-with(@value, '&quot;'))">
          <span class="raw">gespeichert als <xsl:value-of select="@value"/></span>
        </xsl:if>
      </td>
      <xsl:call-template name="lock-cell"/>
      <td class="modified"><xsl:call-template name="date-time"/></td>
      <td class="comment"><xsl:value-of select="UserComment"/></td>
    </tr>
  </xsl:template>

  <xsl:template name="lock-cell">
    <xsl:variable name="flag" select="@locked = 'yes'"/>
    <xsl:choose>
      <xsl:when test="$lockedByDefault and $flag">
        <td class="lock-open">offen (Ausnahme)</td>
      </xsl:when>
      <xsl:when test="$lockedByDefault">
        <td class="lock-locked">gesperrt</td>
      </xsl:when>
      <xsl:when test="$flag">
        <td class="lock-locked">gesperrt (Ausnahme)</td>
      </xsl:when>
      <xsl:otherwise>
        <td class="lock-open">offen</td>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- 2026-11-30T09:15:00Z wird als 30.11.2026 09:15:00 UTC gezeigt, sonst wie
       geschrieben. -->
  <xsl:template name="date-time">
    <xsl:variable name="m" select="@modified"/>
    <xsl:variable name="d" select="substring-before($m, 'T')"/>
    <xsl:variable name="t" select="substring-after($m, 'T')"/>
    <xsl:choose>
      <xsl:when test="string-length($d) = 10 and substring($m, string-length($m)) = 'Z'">
        <xsl:value-of select="concat(substring($d, 9, 2), '.', substring($d, 6, 2), '.',
                              substring($d, 1, 4), ' ',
                              substring($t, 1, string-length($t) - 1), ' UTC')"/>
      </xsl:when>
      <xsl:when test="string-length($d) = 10">
        <xsl:value-of select="concat(substring($d, 9, 2), '.', substring($d, 6, 2), '.',
                              substring($d, 1, 4), ' ', $t)"/>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="$m"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

</xsl:stylesheet>

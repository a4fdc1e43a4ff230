<?xml version="1.0" encoding="UTF-8"?>
<!--
  Zeigt eine Kvrn-Wertedatei (.dpv) als lesbare HTML-Seite.
  Deutsche Fassung von kvrn/xsl/dpv.xsl; sie wird beim Speichern mit KVRN_LANG=german
  unter dem Namen der Wertedatei neben diese kopiert (kvrn1_user.dpv -> kvrn1_user.xsl).
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
        <title>Kvrn-Voreinstellungen</title>
        <style>
          body { font-family: sans-serif; margin: 1.5em; color: #202020; }
          h1 { font-size: 1.4em; margin-bottom: 0.2em; }
          h2 { font-size: 1.1em; font-weight: normal; margin-top: 0; }
          h2.locked { color: #a01010; }
          h2.unlocked { color: #106010; }
          table { border-collapse: collapse; width: 100%; }
          th, td { border: 1px solid #b0b0b0; padding: 0.25em 0.5em;
                   text-align: left; vertical-align: top; }
          th { background: #e4e8ee; }
          tbody tr:nth-child(even) { background: #f6f7f9; }
          td.name, td.raw { font-family: monospace; }
          td.lock-locked { color: #a01010; font-weight: bold; }
          td.lock-open { color: #106010; }
          p.note { font-size: 0.9em; color: #505050; }
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
            niedrigere Ebene seine Voreinstellung sperrt.</xsl:text>
        </p>
        <xsl:choose>
          <xsl:when test="/PrefValues/Pref">
            <table>
              <thead>
                <tr>
                  <th>Anwendung</th>
                  <th>Kategorie</th>
                  <th>Registerkarte</th>
                  <th>Titel</th>
                  <th>Wert</th>
                  <th>Name</th>
                  <th>Gespeicherter Wert</th>
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
      <td><xsl:value-of select="@Application"/></td>
      <td><xsl:value-of select="@Category"/></td>
      <td><xsl:value-of select="@Tab"/></td>
      <td><xsl:value-of select="@title"/></td>
      <td><xsl:value-of select="@displayValue"/></td>
      <td class="name"><xsl:value-of select="@name"/></td>
      <td class="raw"><xsl:value-of select="@value"/></td>
      <xsl:call-template name="lock-cell"/>
      <td><xsl:call-template name="date-time"/></td>
      <td><xsl:value-of select="UserComment"/></td>
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

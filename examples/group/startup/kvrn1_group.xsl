<?xml version="1.0" encoding="UTF-8"?>
<!--
  Shows a Kvrn preference value file (.dpv) as a readable HTML page.
  A copy of this style sheet sits beside every value file under the value file's own
  base name (kvrn1_user.dpv refers to kvrn1_user.xsl), so a browser opening the value
  file shows the table instead of the raw XML.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">

  <xsl:output method="html" encoding="UTF-8" indent="yes"
              doctype-system="about:legacy-compat"/>

  <!-- In a file that is locked by default, locked="yes" marks an exception: a preference
       that stays open for the levels above. In any other file it marks a lock. -->
  <xsl:variable name="lockedByDefault"
                select="/PrefValues/@defaultLockStatus = 'locked'"/>

  <xsl:template match="/">
    <html lang="en">
      <head>
        <title>Kvrn preference values</title>
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
        <h1>Kvrn preference values</h1>
        <xsl:choose>
          <xsl:when test="$lockedByDefault">
            <h2 class="locked">Locked by default: every preference is locked for the
              levels above, except those marked as exceptions.</h2>
          </xsl:when>
          <xsl:otherwise>
            <h2 class="unlocked">Unlocked by default: only the preferences marked as
              locked are locked for the levels above.</h2>
          </xsl:otherwise>
        </xsl:choose>
        <p class="note">
          <xsl:value-of select="count(/PrefValues/Pref)"/>
          <xsl:text> values recorded at this level. A value is used only where no lower
            level locks its preference.</xsl:text>
        </p>
        <xsl:choose>
          <xsl:when test="/PrefValues/Pref">
            <table>
              <thead>
                <tr>
                  <th>Application</th>
                  <th>Category</th>
                  <th>Tab</th>
                  <th>Title</th>
                  <th>Value</th>
                  <th>Name</th>
                  <th>Raw value</th>
                  <th>Lock</th>
                  <th>Modified</th>
                  <th>Comment</th>
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
            <p>No values are recorded at this level.</p>
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
        <td class="lock-open">unlocked (exception)</td>
      </xsl:when>
      <xsl:when test="$lockedByDefault">
        <td class="lock-locked">locked</td>
      </xsl:when>
      <xsl:when test="$flag">
        <td class="lock-locked">locked (exception)</td>
      </xsl:when>
      <xsl:otherwise>
        <td class="lock-open">unlocked</td>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- 2026-11-30T09:15:00Z is shown as 2026-11-30 09:15:00 UTC; anything else as written. -->
  <xsl:template name="date-time">
    <xsl:variable name="m" select="@modified"/>
    <xsl:choose>
      <xsl:when test="contains($m, 'T') and substring($m, string-length($m)) = 'Z'">
        <xsl:value-of select="substring-before($m, 'T')"/>
        <xsl:text> </xsl:text>
        <xsl:value-of select="substring(substring-after($m, 'T'), 1,
                              string-length(substring-after($m, 'T')) - 1)"/>
        <xsl:text> UTC</xsl:text>
      </xsl:when>
      <xsl:when test="contains($m, 'T')">
        <xsl:value-of select="substring-before($m, 'T')"/>
        <xsl:text> </xsl:text>
        <xsl:value-of select="substring-after($m, 'T')"/>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="$m"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

</xsl:stylesheet>
